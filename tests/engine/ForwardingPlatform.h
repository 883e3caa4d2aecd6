// A platform that hands every call on to a simulated session of its choosing, for tests that step
// in between the engine and the session: to hold a tap thread at one step of its installation,
// or to give each tap a session of its own.
#pragma once

#include <string_view>

#include "engine/Platform.h"
#include "platform/simulated/SimulatedSession.h"

namespace corvane::testing {

class ForwardingPlatform : public Platform,
                           protected KeyboardEventServices,
                           protected Workspace,
                           protected MainQueue,
                           protected Pauser {
 public:
  KeyboardEventServices& events() override { return *this; }
  Workspace& workspace() override { return *this; }
  MainQueue& mainQueue() override { return *this; }
  Pauser& pauser() override { return *this; }

 protected:
  // The session that serves a call about this port, source or run loop (nullptr: a call about
  // none of them).
  virtual sim::SimulatedSession& sessionOf(const void* object) = 0;
  // Called before each step of a tap's installation and removal, by the step's name, and
  // "runLoopReturned" once a run ends.
  virtual void checkpoint(std::string_view /*step*/) {}
  // Each port, source and run loop handed out.
  virtual void made(const void* /*object*/) {}

  MachPortRef tapCreate(TapLocation l, TapPlacement p, TapOptions o, EventMask m,
                        EventTapCallback c, void* u) override {
    checkpoint("tapCreate");
    return handOut(sessionOf(nullptr).events().tapCreate(l, p, o, m, c, u));
  }
  void tapEnable(MachPortRef t, bool e) override { sessionOf(t).events().tapEnable(t, e); }
  RunLoopSourceRef machPortCreateRunLoopSource(MachPortRef port) override {
    checkpoint("machPortCreateRunLoopSource");
    return handOut(sessionOf(port).events().machPortCreateRunLoopSource(port));
  }
  RunLoopRef runLoopGetCurrent() override {
    return handOut(sessionOf(nullptr).events().runLoopGetCurrent());
  }
  void runLoopAddSource(RunLoopRef l, RunLoopSourceRef s) override {
    checkpoint("runLoopAddSource");
    sessionOf(l).events().runLoopAddSource(l, s);
  }
  void runLoopRemoveSource(RunLoopRef l, RunLoopSourceRef s) override {
    sessionOf(l).events().runLoopRemoveSource(l, s);
  }
  void runLoopRun() override {
    checkpoint("runLoopRun");
    sessionOf(nullptr).events().runLoopRun();
    checkpoint("runLoopReturned");
  }
  void runLoopStop(RunLoopRef l) override { sessionOf(l).events().runLoopStop(l); }
  void machPortInvalidate(MachPortRef p) override {
    checkpoint("machPortInvalidate");
    sessionOf(p).events().machPortInvalidate(p);
  }
  int64_t eventGetIntegerValueField(EventRef e, EventField f) override {
    return sessionOf(nullptr).events().eventGetIntegerValueField(e, f);
  }
  EventFlags eventGetFlags(EventRef e) override {
    return sessionOf(nullptr).events().eventGetFlags(e);
  }
  EventSourceRef eventSourceCreate(EventSourceState s) override {
    return sessionOf(nullptr).events().eventSourceCreate(s);
  }
  EventRef eventCreateKeyboardEvent(EventSourceRef s, KeyCode k, bool d) override {
    return sessionOf(nullptr).events().eventCreateKeyboardEvent(s, k, d);
  }
  void eventSetFlags(EventRef e, EventFlags f) override {
    sessionOf(nullptr).events().eventSetFlags(e, f);
  }
  void eventSetIntegerValueField(EventRef e, EventField f, int64_t v) override {
    sessionOf(nullptr).events().eventSetIntegerValueField(e, f, v);
  }
  void eventPost(TapLocation l, EventRef e) override {
    sessionOf(nullptr).events().eventPost(l, e);
  }
  EventFlags eventSourceFlagsState(EventSourceState s) override {
    return sessionOf(nullptr).events().eventSourceFlagsState(s);
  }
  void setCurrentThreadUserInteractive() override {
    sessionOf(nullptr).events().setCurrentThreadUserInteractive();
  }
  void retain(const void* r) override { sessionOf(r).events().retain(r); }
  void release(const void* r) override { sessionOf(r).events().release(r); }

  std::string_view frontmostBundleIdentifier() override {
    return sessionOf(nullptr).workspace().frontmostBundleIdentifier();
  }
  bool openApplication(std::string_view path) override {
    return sessionOf(nullptr).workspace().openApplication(path);
  }
  void asyncAfter(std::chrono::nanoseconds delay, Work work, void* context) override {
    sessionOf(nullptr).mainQueue().asyncAfter(delay, work, context);
  }
  void usleep(uint32_t microseconds) override { sessionOf(nullptr).pauser().usleep(microseconds); }
  std::chrono::nanoseconds uptime() override { return sessionOf(nullptr).pauser().uptime(); }

 private:
  template <typename Ref>
  Ref handOut(Ref ref) {
    made(ref);
    return ref;
  }
};

}  // namespace corvane::testing
