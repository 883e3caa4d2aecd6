// The status badge: a dot and "Active" or "Inactive" in a pill of green or gray.
#pragma once

#include <QWidget>

namespace corvane::ui {

class StyledText;

class StatusTag : public QWidget {
 public:
  explicit StatusTag(bool isActive, QWidget* parent = nullptr);
  bool isActive() const { return isActive_; }
  void setIsActive(bool isActive);
  QString text() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  class Dot;
  bool isActive_;
  Dot* dot_;
  StyledText* label_;
};

}  // namespace corvane::ui
