#include "app/PreferencesStore.h"

#include <QSettings>

namespace corvane {

bool readAsBool(const QVariant& value) {
  if (!value.isValid() || value.isNull()) return false;
  switch (value.typeId()) {
    case QMetaType::Bool:
      return value.toBool();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float:
      return value.toDouble() != 0;
    case QMetaType::QString:
    case QMetaType::QByteArray: {
      const QString text = value.toString();
      qsizetype i = 0;
      while (i < text.size() && text[i].isSpace()) ++i;
      if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) ++i;
      while (i < text.size() && text[i] == u'0') ++i;
      if (i >= text.size()) return false;
      const QChar c = text[i];
      return c == u'Y' || c == u'y' || c == u'T' || c == u't' || (c >= u'1' && c <= u'9');
    }
    default:
      return false;
  }
}

SettingsPreferencesStore::SettingsPreferencesStore() : settings_(std::make_unique<QSettings>()) {}

SettingsPreferencesStore::SettingsPreferencesStore(const QString& iniFile)
    : settings_(std::make_unique<QSettings>(iniFile, QSettings::IniFormat)) {}

SettingsPreferencesStore::~SettingsPreferencesStore() = default;

bool SettingsPreferencesStore::contains(const QString& key) {
  settings_->sync();  // another process may have written it
  return settings_->contains(key);
}

void SettingsPreferencesStore::setBool(const QString& key, bool value) {
  settings_->setValue(key, value);
  settings_->sync();
}

bool SettingsPreferencesStore::boolValue(const QString& key) {
  return readAsBool(settings_->value(key));
}

}  // namespace corvane
