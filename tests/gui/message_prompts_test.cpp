#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>
#include <functional>

#include "shell/message_prompts.h"

namespace mervane {
namespace {

// Runs steps on the message box once it is up.
void WhenBoxIsUp(std::function<void(QMessageBox&)> steps) {
  QTimer::singleShot(0, [steps] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) {
      ADD_FAILURE() << "no message box is up";
      return;
    }
    steps(*box);
    if (box->isVisible()) {
      ADD_FAILURE() << "the box is still up";
      box->done(0);
    }
  });
}

TEST(MessageBoxPromptsTest, MessageCarriesTheProgramTitleAndTheDetail) {
  QWidget parent;
  MessageBoxPrompts prompts(&parent);
  WhenBoxIsUp([](QMessageBox& box) {
    EXPECT_EQ(box.windowTitle(), "Mervane");
    EXPECT_EQ(box.text(), "Error 62 has occurred.  It is recommended that you exit the application.");
    EXPECT_EQ(box.informativeText(), "body.skn line 12: <vertex> expected");
    EXPECT_EQ(box.textFormat(), Qt::PlainText);
    EXPECT_EQ(box.standardButtons(), QMessageBox::Ok);
    box.button(QMessageBox::Ok)->click();
  });
  prompts.ShowMessage("Error 62 has occurred.  It is recommended that you exit the application.",
                      "body.skn line 12: <vertex> expected");

  WhenBoxIsUp([](QMessageBox& box) {
    EXPECT_EQ(box.text(), "You cannot leave any blanks empty!");
    EXPECT_EQ(box.informativeText(), "");
    box.button(QMessageBox::Ok)->click();
  });
  prompts.ShowMessage("You cannot leave any blanks empty!", "");
}

TEST(MessageBoxPromptsTest, QuestionIsYesNoWithYesTheDefaultAndNoIcon) {
  QWidget parent;
  MessageBoxPrompts prompts(&parent);
  struct Case {
    const char* what;
    std::function<void(QMessageBox&)> answer;
    bool expected;
  };
  const Case cases[] = {
      {"Yes", [](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); }, true},
      {"No", [](QMessageBox& box) { box.button(QMessageBox::No)->click(); }, false},
      {"Enter", [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Return); }, true},
      {"Escape", [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WhenBoxIsUp([&c](QMessageBox& box) {
      EXPECT_EQ(box.windowTitle(), kInvalidNormalsTitle);
      EXPECT_EQ(box.text(), kInvalidNormalsQuestion);
      EXPECT_EQ(box.standardButtons(), QMessageBox::Yes | QMessageBox::No);
      EXPECT_EQ(static_cast<QAbstractButton*>(box.defaultButton()), box.button(QMessageBox::Yes));
      EXPECT_EQ(box.icon(), QMessageBox::NoIcon);
      c.answer(box);
    });
    EXPECT_EQ(prompts.AskYesNo(kInvalidNormalsTitle, kInvalidNormalsQuestion),
              std::optional<bool>(c.expected));
  }
}

}  // namespace
}  // namespace mervane
