#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>
#include <functional>

#include "model/failure.h"
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

// A user's answer to a box: a click on one of its buttons, or a key.
using Answer = std::function<void(QMessageBox&)>;
Answer Click(QMessageBox::StandardButton button) {
  return [button](QMessageBox& box) { box.button(button)->click(); };
}
Answer Press(Qt::Key key) {
  return [key](QMessageBox& box) { QTest::keyClick(&box, key); };
}

// A failure to read or write carries the error icon, what the user can put
// right at once the warning icon; the texts are the ones users know.
TEST(MessageBoxPromptsTest, MessageCarriesTheProgramTitleTheDetailAndItsIcon) {
  QWidget parent;
  MessageBoxPrompts prompts(&parent);
  const Failure failure = std::move(
      Failure::Error(62, "the file ends where the texture name was expected").InFile("body.skn").AtLine(2));
  struct Case {
    std::function<void()> show;
    QString text, detail;
    QMessageBox::Icon icon;
  };
  const Case cases[] = {
      {[&] { prompts.ShowFailure(failure); },
       "Error 62 has occurred.",  // without advice to exit: a failed read keeps everything
       "body.skn line 2: the file ends where the texture name was expected", QMessageBox::Critical},
      {[&] { prompts.ShowFailure(Failure(FailureKind::VertexLimit, 0, "32000 vertices")); },
       "Too many vertices!  32000 is the current limit!", "32000 vertices", QMessageBox::Critical},
      {[&] { prompts.ShowMessage("You cannot leave any blanks empty!", ""); },
       "You cannot leave any blanks empty!", "", QMessageBox::Warning},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.toStdString());
    WhenBoxIsUp([&c](QMessageBox& box) {
      EXPECT_EQ(box.windowTitle(), "Mervane");
      EXPECT_EQ(box.text(), c.text);
      EXPECT_EQ(box.informativeText(), c.detail);
      EXPECT_EQ(box.icon(), c.icon);
      EXPECT_EQ(box.textFormat(), Qt::PlainText);
      EXPECT_EQ(box.standardButtons(), QMessageBox::Ok);
      box.button(QMessageBox::Ok)->click();
    });
    c.show();
  }
}

TEST(MessageBoxPromptsTest, QuestionIsYesNoWithYesTheDefaultAndTheQuestionIcon) {
  QWidget parent;
  MessageBoxPrompts prompts(&parent);
  struct Case {
    const char* what;
    Answer answer;
    bool expected;
    bool yes_by_default = true;
  };
  const Case cases[] = {
      {"Yes", Click(QMessageBox::Yes), true},
      {"No", Click(QMessageBox::No), false},
      {"Enter", Press(Qt::Key_Return), true},
      {"Escape", Press(Qt::Key_Escape), false},
      // A question whose Yes replaces files: Enter must not say Yes.
      {"Enter, No the default", Press(Qt::Key_Return), false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WhenBoxIsUp([&c](QMessageBox& box) {
      EXPECT_EQ(box.windowTitle(), kInvalidNormalsTitle);
      EXPECT_EQ(box.text(), "Normals are invalid.  Fix?");  // no warning of a crash
      EXPECT_EQ(box.standardButtons(), QMessageBox::Yes | QMessageBox::No);
      EXPECT_EQ(static_cast<QAbstractButton*>(box.defaultButton()),
                box.button(c.yes_by_default ? QMessageBox::Yes : QMessageBox::No));
      EXPECT_EQ(box.icon(), QMessageBox::Question);
      c.answer(box);
    });
    EXPECT_EQ(prompts.AskYesNo(kInvalidNormalsTitle, kInvalidNormalsQuestion, c.yes_by_default),
              std::optional<bool>(c.expected));
  }
}

// Before an imported part is lost: Save, Discard or Cancel, Cancel the
// default and what closing the box means.
TEST(MessageBoxPromptsTest, SaveQuestionHasCancelAsItsDefault) {
  QWidget parent;
  MessageBoxPrompts prompts(&parent);
  const struct {
    const char* what;
    Answer answer;
    Prompts::Keep expected;
  } cases[] = {
      {"Save", Click(QMessageBox::Save), Prompts::Keep::Save},
      {"Discard", Click(QMessageBox::Discard), Prompts::Keep::Discard},
      {"Enter", Press(Qt::Key_Return), Prompts::Keep::Cancel},
      {"Escape", Press(Qt::Key_Escape), Prompts::Keep::Cancel},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WhenBoxIsUp([&c](QMessageBox& box) {
      EXPECT_EQ(box.windowTitle(), "Mervane");
      EXPECT_EQ(box.text(), "Save the imported part hat?");
      EXPECT_EQ(static_cast<QAbstractButton*>(box.defaultButton()), box.button(QMessageBox::Cancel));
      c.answer(box);
    });
    EXPECT_EQ(prompts.AskSaveDiscardCancel("Save the imported part hat?"), c.expected);
  }
}

// Which mesh of a glTF to open: the one picked, or none when the box is
// closed.
TEST(MessageBoxPromptsTest, ChoiceGivesTheIndexPicked) {
  QWidget parent;
  MessageBoxPrompts prompts(&parent);
  const std::vector<std::string> meshes{"body", "head", "hand"};
  const struct {
    const char* pick;  // nullptr: Escape
    std::optional<std::size_t> expected;
  } cases[] = {{"head", 1}, {"hand", 2}, {"body", 0}, {nullptr, std::nullopt}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pick ? c.pick : "Escape");
    QTimer::singleShot(0, [&c] {
      auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(box->windowTitle(), "Open glTF");
      if (!c.pick) return QTest::keyClick(box, Qt::Key_Escape);
      box->setTextValue(c.pick);
      box->accept();
    });
    EXPECT_EQ(prompts.AskChoice("Open glTF", "Which one?", meshes), c.expected);
  }
}

}  // namespace
}  // namespace mervane
