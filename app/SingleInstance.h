// One copy of the program per user: the first copy holds a lock file and listens on a local
// socket beside it; a later copy finds the lock held, asks the running copy over the socket to
// bring its window forward, and ends. A lock whose process has died (a crash) is stale and is
// taken over, and the socket it left is removed before listening again.
#pragma once

#include <QLockFile>
#include <QString>
#include <functional>
#include <memory>

class QLocalServer;

namespace corvane {

class SingleInstance {
 public:
  enum class Claim {
    first,       // this is the one copy: it listens for later ones
    handedOver,  // another copy runs and was asked to bring its window forward
    noAnswer,    // another copy holds the lock but did not answer
    unchecked,   // the folder or lock could not be used: this copy runs without the check
  };

  // folder: where the lock file and the socket live (private to the user).
  explicit SingleInstance(QString folder);
  ~SingleInstance();

  // Called on the main thread when a later copy asks for the window; set before claim().
  void onReopenRequested(std::function<void()> handler) { handler_ = std::move(handler); }
  Claim claim();

  QString socketPath() const;
  QString lockPath() const;

  // $XDG_RUNTIME_DIR/corvane when it is set, else corvane-runtime-<uid>/corvane in the
  // temporary folder (where scripts/run puts the runtime folder it makes).
  static QString defaultFolder();

 private:
  bool usableFolder() const;
  Claim handOver();
  void listen();

  QString folder_;
  QLockFile lock_;
  std::unique_ptr<QLocalServer> server_;
  std::function<void()> handler_;
};

// What the second copy says before it exits.
inline constexpr const char* kHandedOverNotice =
    "Corvane is already running: its window was brought forward.";

}  // namespace corvane
