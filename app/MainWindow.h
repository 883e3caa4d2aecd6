// The program's one window: content 740 x 520, fixed (so it can be neither resized nor zoomed),
// titled "Corvane", with a close button that hides it. It is never closed.
#pragma once

#include <QWidget>
#include <functional>

namespace corvane {

class MainWindow final : public QWidget {
 public:
  static constexpr int kWidth = 740;
  static constexpr int kHeight = 520;

  // Hosts the content; shouldClose is asked when the user closes the window (false keeps it).
  MainWindow(QWidget* content, std::function<bool(MainWindow*)> shouldClose);

  QWidget* content() const { return content_; }
  // Centres the window on its screen's available area.
  void center();

 protected:
  void closeEvent(QCloseEvent* event) override;
  // A zoom (maximise or full screen) that reaches the window anyway is undone.
  void changeEvent(QEvent* event) override;

 private:
  QWidget* content_;
  std::function<bool(MainWindow*)> shouldClose_;
};

}  // namespace corvane
