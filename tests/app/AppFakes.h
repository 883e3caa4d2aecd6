// Recording fakes of the shell's services and the preferences store. Every call goes into one
// shared log, so tests see the order of the launch steps across all of them.
#pragma once

#include <QMap>
#include <QVariant>
#include <memory>
#include <string>
#include <vector>

#include "app/PreferencesStore.h"
#include "app/ShellServices.h"

namespace corvane::testing {

using Log = std::shared_ptr<std::vector<std::string>>;

class FakeActivation final : public ApplicationActivation {
 public:
  explicit FakeActivation(Log log) : log_(std::move(log)) {}
  void setAccessoryActivationPolicy() override { log_->push_back("accessoryPolicy"); }
  void activateIgnoringOtherApps() override { log_->push_back("activate"); }

 private:
  Log log_;
};

class FakeTrust final : public AccessibilityTrust {
 public:
  explicit FakeTrust(Log log) : log_(std::move(log)) {}
  bool trusted = true;
  bool secureInput = false;
  bool checkAccessibilityTrust() override {
    log_->push_back("trust");
    return trusted;
  }
  bool isSecureEventInputEnabled() override { return secureInput; }

 private:
  Log log_;
};

class FakeLoginItem final : public LoginItemService {
 public:
  explicit FakeLoginItem(Log log) : log_(std::move(log)) {}
  bool available = true;
  Result answer{true, {}};
  Status state = Status::notRegistered;
  bool isAvailable() override { return available; }
  Status status() override {
    log_->push_back("status");
    return state;
  }
  Result registerMainApp() override {
    log_->push_back("register");
    return answer;
  }
  Result unregisterMainApp() override {
    log_->push_back("unregister");
    return answer;
  }

 private:
  Log log_;
};

class NullOpener final : public UrlOpener {
 public:
  bool openURL(std::string_view) override { return true; }
};

// A store of named values of any type, like the user defaults.
class FakePreferences final : public PreferencesStore {
 public:
  explicit FakePreferences(Log log) : log_(std::move(log)) {}
  QMap<QString, QVariant> values;
  bool contains(const QString& key) override {
    log_->push_back("contains");
    return values.contains(key);
  }
  void setBool(const QString& key, bool value) override {
    log_->push_back(value ? "setTrue" : "setFalse");
    values[key] = value;
  }
  bool boolValue(const QString& key) override {
    log_->push_back("read");
    return readAsBool(values.value(key));
  }

 private:
  Log log_;
};

}  // namespace corvane::testing
