// DialogAnswerer: answers the modal dialogs a test triggers, as a person
// would, by pressing their real buttons.
//
// Each expected dialog is one step: a function that receives the modal
// widget once it is up (and may read it, type into it, press its buttons).
// A dialog that comes with no step left is recorded and rejected, so the test
// fails instead of hanging.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTimer>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace host_test {

class DialogAnswerer {
 public:
  using Step = std::function<void(QWidget* dialog)>;

  DialogAnswerer() {
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start();
  }

  void Expect(Step step) { steps_.push_back(std::move(step)); }
  size_t Pending() const { return steps_.size(); }
  // Texts of message boxes seen, in order.
  const std::vector<std::string>& Texts() const { return texts_; }
  const std::vector<std::string>& Unexpected() const { return unexpected_; }

  // A step that presses the message box button with this text.
  static Step Press(const QString& button_text) {
    return [button_text](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      if (!box) return;
      for (QAbstractButton* b : box->buttons())
        if (b->text() == button_text) {
          b->click();
          return;
        }
      box->reject();
    };
  }

 private:
  void Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal == last_) return;
    last_ = modal;
    if (auto* box = qobject_cast<QMessageBox*>(modal)) texts_.push_back(box->text().toStdString());
    if (steps_.empty()) {
      unexpected_.push_back(modal->objectName().toStdString() + ": " +
                            (texts_.empty() ? std::string() : texts_.back()));
      if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
      last_ = nullptr;
      return;
    }
    Step step = std::move(steps_.front());
    steps_.pop_front();
    step(modal);
    last_ = nullptr;
  }

  QTimer timer_;
  std::deque<Step> steps_;
  std::vector<std::string> texts_;
  std::vector<std::string> unexpected_;
  QWidget* last_ = nullptr;
};

}  // namespace host_test
