// The program's stored preferences: named values that tell an absent key from a stored one and
// read an absent Boolean as false. On the user's machine: QSettings (the user defaults domain on
// macOS, the XDG config file elsewhere).
#pragma once

#include <QString>
#include <QVariant>
#include <memory>

class QSettings;

namespace corvane {

class PreferencesStore {
 public:
  virtual ~PreferencesStore() = default;
  // Whether any value, of any type, is stored under the key.
  virtual bool contains(const QString& key) = 0;
  // Stores a Boolean; it persists for later launches.
  virtual void setBool(const QString& key, bool value) = 0;
  // The stored value read as a Boolean; an absent one reads as false.
  virtual bool boolValue(const QString& key) = 0;
};

// A stored value read as a Boolean the way the user defaults read one: Booleans as they are,
// numbers when non-zero, texts when they begin (after blanks, a sign and zeros) with Y, y, T, t
// or a digit 1 to 9; anything else, and nothing, reads as false.
bool readAsBool(const QVariant& value);

class SettingsPreferencesStore final : public PreferencesStore {
 public:
  // The application's own settings (organisation and application names must be set).
  SettingsPreferencesStore();
  // A settings file of its own, in the INI format.
  explicit SettingsPreferencesStore(const QString& iniFile);
  ~SettingsPreferencesStore() override;

  bool contains(const QString& key) override;
  void setBool(const QString& key, bool value) override;
  bool boolValue(const QString& key) override;

 private:
  std::unique_ptr<QSettings> settings_;
};

}  // namespace corvane
