#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>
#include <functional>

#include "gui_support.h"
#include "shell/file_chooser.h"
#include "shell/main_window.h"

namespace mervane {
namespace {

// Runs steps on Qt's file dialog once it is up, then lets it finish.
void WhenFileDialogIsUp(std::function<void(QFileDialog&, QComboBox&)> steps) {
  QTimer::singleShot(0, [steps] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dialog) {
      ADD_FAILURE() << "no file dialog is up";
      return;
    }
    auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
    if (!types) {
      ADD_FAILURE() << "the dialog has no type list";
      dialog->reject();
      return;
    }
    steps(*dialog, *types);
    if (dialog->isVisible()) dialog->reject();
  });
}

QStringList Items(const QComboBox& combo) {
  QStringList items;
  for (int i = 0; i < combo.count(); ++i) items << combo.itemText(i);
  return items;
}

TEST(QtFileChooserTest, ShowsTheDescriptionsAsTheyAreWritten) {
  QWidget parent;
  QtFileChooser chooser(&parent);
  WhenFileDialogIsUp([](QFileDialog& dialog, QComboBox& types) {
    EXPECT_EQ(dialog.objectName(), "cDialog1");
    EXPECT_EQ(dialog.windowTitle(), "Open a skin");
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFile) << "the chosen file must exist";
    EXPECT_EQ(Items(types), (QStringList{"Skin and Project Files (*.skn,*.spj,*.bmf,*.glb,*.gltf)",
                                         "Skin Project Files (*.spj)", "TheSims Skin Files (*.skn)",
                                         "TheSims Binary Mesh Files (*.bmf)", "glTF Files (*.glb *.gltf)",
                                         "All files (*.*)"}));
  });
  EXPECT_EQ(chooser.ChooseOpen("Open a skin", OpenFilters()), std::nullopt);
}

// The type the user selects is reported, and a bare name gets its extension.
TEST(QtFileChooserTest, SaveReportsTheSelectedTypeAndAddsItsExtension) {
  guitest::TempDir dir;
  QWidget parent;
  QtFileChooser chooser(&parent);
  struct Case {
    int selected;
    std::string path;
    std::string proposed = "";  // the name the dialog starts with
  };
  const Case cases[] = {{0, dir.path("body.spj")}, {1, dir.path("body.skn"), "old"}, {2, dir.path("body.bmf")},
                        {3, dir.path("body.glb")}, {4, dir.path("body")}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.selected);
    WhenFileDialogIsUp([&](QFileDialog& dialog, QComboBox& types) {
      EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
      EXPECT_EQ(Items(types), (QStringList{"Skin Project Files (*.spj)", "TheSims Skins (*.skn)",
                                           "TheSims Binary Meshes (*.bmf)", "glTF Binary Files (*.glb)",
                                           "All files (*.*)"}));
      EXPECT_EQ(dialog.directory().absolutePath(), QDir(QString::fromStdString(chooser.folder)).absolutePath());
      EXPECT_EQ(dialog.testOption(QFileDialog::DontConfirmOverwrite), c.selected % 2 == 1)
          << "asks about replacing only when told to";
      auto* name = dialog.findChild<QLineEdit*>("fileNameEdit");
      ASSERT_NE(name, nullptr);
      EXPECT_EQ(name->text().toStdString(), c.proposed);
      types.setCurrentIndex(c.selected);
      // The signals a user's pick sends.
      types.activated(c.selected);
      types.textActivated(types.itemText(c.selected));
      dialog.setDirectory(QString::fromStdString(dir.path("")));
      name->setText("body");
      static_cast<QDialog&>(dialog).accept();  // the Save button
    });
    chooser.folder = dir.path("");
    const auto choice = chooser.ChooseSave("Save", SaveFiltersProjectFirst(), c.proposed, c.selected % 2 == 0);
    ASSERT_TRUE(choice.has_value());
    EXPECT_EQ(choice->filter, c.selected);
    EXPECT_EQ(choice->path, c.path);
  }
}

}  // namespace
}  // namespace mervane
