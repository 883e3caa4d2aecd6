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
  // Active, but paused for the reason given (empty: not paused): the tooltip and the accessible
  // text say why.
  void setPausedReason(const QString& reason);
  QString text() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  class Dot;
  void describe();
  bool isActive_;
  QString pausedReason_;
  Dot* dot_;
  StyledText* label_;
};

}  // namespace corvane::ui
