// Publishing the loaded model into the game from the window, and checking a
// folder of skins there.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QStatusBar>
#include <QTreeWidget>
#include <filesystem>
#include <functional>

#include "character_files.h"
#include "files/textfile.h"
#include "gui_support.h"
#include "shell/check_dialog.h"
#include "shell/game_folder.h"
#include "shell/main_window.h"
#include "shell/publish_dialog.h"
#include "shell/settings.h"

namespace mervane {
namespace {

using guitest::FakeChooser;
using guitest::FakePrompts;
using guitest::TempDir;

QStringList Items(const QListWidget& list) {
  QStringList texts;
  for (int row = 0; row < list.count(); ++row) texts << list.item(row)->text();
  return texts;
}

void Choose(QDialog& dialog, const char* combo, const char* value) {
  auto* box = dialog.findChild<QComboBox*>(combo);
  box->setCurrentIndex(box->findData(QString(value)));
}

TEST(PublishDialogTest, FillsFromTheMeshNamePlansLiveAndPublishesOrRefuses) {
  Settings().clear();
  TempDir dir, out;
  const std::string mesh = dir.path("xskin-b006fafat_01-PELVIS-BODY.skn");
  test::WriteFile(mesh, test::SmallSkn("xskin-b006fafat_01-PELVIS-BODY", "x"));
  test::WriteFile(dir.path("denim 2.bmp"), test::TwoColourBitmap());  // 24-bit, 2 x 2
  QImage dark(64, 64, QImage::Format_RGB32);
  dark.fill(Qt::darkBlue);
  ASSERT_TRUE(dark.save(QString::fromStdString(dir.path("dark.png"))));
  for (const char* name : {"fake.png", "fake.JPEG"}) test::WriteFile(dir.path(name), "no image");
  FakeChooser chooser;
  FakePrompts prompts;
  frmMain window("", &chooser, &prompts);
  window.OpenPath(mesh);
  ASSERT_TRUE(window.model().ModelLoaded);

  guitest::WhenModal([&](QDialog& dialog) {
    ASSERT_EQ(dialog.objectName(), "frmPublish");
    for (const auto& [combo, value] :
         {std::pair{"cmbKind", "b"}, {"cmbGender", "f"}, {"cmbAge", "a"}, {"cmbBuild", "fat"}})
      EXPECT_EQ(dialog.findChild<QComboBox*>(combo)->currentData().toString(), value) << combo;
    dialog.findChild<QLineEdit*>("txtFolder")->setText(QString::fromStdString(out.root().string()));
    // The light image names the texture while it has no name, in the
    // letters, digits and "_" the game takes.
    chooser.choices.push_back(FileChoice{dir.path("denim 2.bmp"), 0});
    dialog.findChild<QPushButton*>("cmdLight")->click();
    auto* texture = dialog.findChild<QLineEdit*>("txtTexture");
    EXPECT_EQ(texture->text(), "denim_2");

    // Each field changes the list as it is typed or chosen.
    const auto& files = *dialog.findChild<QListWidget*>("lstFiles");
    auto* id = dialog.findChild<QLineEdit*>("txtID");
    struct Step {
      std::function<void()> change;
      QStringList first_and_last;  // the suit, and the last bitmap
      int count;
      const char* problem = "";  // when nothing can be listed
    };
    const Step steps[] = {
        {[&] { texture->setText("Plaid"); }, {"B100FAFat_Plaid.cmx", "B100FAFatdrk_Plaid.bmp"}, 5},
        {[&] { Choose(dialog, "cmbGender", "m"); }, {"B100MAFat_Plaid.cmx", "B100MAFatdrk_Plaid.bmp"}, 5},
        {[&] { id->setText("123"); }, {"B123MAFat_Plaid.cmx", "B123MAFatdrk_Plaid.bmp"}, 5},
        // A child's build follows the age; a unisex child wears both genders' bitmaps.
        {[&] { Choose(dialog, "cmbAge", "c"); }, {"B123UCChd_Plaid.cmx", "B123MCChddrk_Plaid.bmp"}, 5},
        {[&] { Choose(dialog, "cmbGender", "u"); }, {"B123UCChd_Plaid.cmx", "B123MCChddrk_Plaid.bmp"}, 8},
        // Back to an adult, the child's build is no choice: it is asked for again.
        {[&] { Choose(dialog, "cmbAge", "a"), Choose(dialog, "cmbGender", "m"); }, {}, 0, "Still to choose: the build."},
        // The child's build chosen makes a child; an adult again asks for the build.
        {[&] { Choose(dialog, "cmbBuild", "chd"); }, {"B123UCChd_Plaid.cmx", "B123MCChddrk_Plaid.bmp"}, 5},
        {[&] { Choose(dialog, "cmbAge", "a"); }, {}, 0, "Still to choose: the build."},
        {[&] { Choose(dialog, "cmbBuild", "fit"); }, {"B123MAFit_Plaid.cmx", "B123MAFitdrk_Plaid.bmp"}, 5},
        // A head has no build: its box greyed out, and empty, asks for nothing.
        {[&] { Choose(dialog, "cmbBuild", ""), Choose(dialog, "cmbKind", "c"), Choose(dialog, "cmbGender", "m"); },
         {"C123MA_Plaid.cmx", "C123MAdrk_Plaid.bmp"}, 5},
        // A head's own name goes into its suit's, not its bitmaps'.
        {[&] { dialog.findChild<QLineEdit*>("txtMeshName")->setText("Bob"); }, {"C123MA_Bob.cmx", "C123MAdrk_Plaid.bmp"}, 5},
        {[&] { dialog.findChild<QLineEdit*>("txtMeshName")->clear(); }, {"C123MA_Plaid.cmx", "C123MAdrk_Plaid.bmp"}, 5},
    };
    for (const Step& step : steps) {
      step.change();
      const QStringList listed = Items(files);
      SCOPED_TRACE(listed.join(", ").toStdString());
      ASSERT_EQ(listed.size(), step.count);
      if (step.count > 0) {
        EXPECT_EQ((QStringList{listed.front(), listed.back()}), step.first_and_last);
        EXPECT_EQ(dialog.findChild<QLabel*>("lblSuit")->text(), "Suit: " + listed.front().chopped(4));
      } else {
        EXPECT_EQ(dialog.findChild<QLabel*>("lblProblem")->text().toStdString(), step.problem);
      }
    }
    EXPECT_TRUE(guitest::Names(out.root().string()).empty()) << "planning writes nothing";
    // A texture name typed is the user's: another light image leaves it.
    chooser.choices.push_back(FileChoice{dir.path("denim 2.bmp"), 0});
    dialog.findChild<QPushButton*>("cmdLight")->click();
    EXPECT_EQ(texture->text(), "Plaid");

    Choose(dialog, "cmbKind", "b");
    Choose(dialog, "cmbGender", "f");
    Choose(dialog, "cmbAge", "a");
    Choose(dialog, "cmbBuild", "fat");
    id->clear();
    Choose(dialog, "cmbShowTone", "med");
    // An image dropped on a tone is that tone's; a file that is no image is refused, saying so.
    auto* dark = dialog.findChild<QWidget*>("picDark");
    EXPECT_FALSE(guitest::Drop(*dark, {dir.path("notes.txt")}));
    for (const char* name : {"fake.png", "fake.JPEG"}) {  // any spelling of an image's extension
      EXPECT_TRUE(guitest::Drop(*dark, {dir.path(name)})) << name;
      ASSERT_EQ(prompts.messages.size(), 1u);
      EXPECT_EQ(prompts.messages[0].text, "The image could not be read.");
      prompts.messages.clear();
    }
    EXPECT_TRUE(guitest::Drop(*dark, {dir.path("dark.png")}));
    auto* publish = dialog.findChild<QPushButton*>("cmdPublish");
    texture->setText("bad name!");
    publish->click();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "Nothing was published.");
    EXPECT_NE(prompts.messages[0].detail.find("must be letters, digits and _"), std::string::npos)
        << prompts.messages[0].detail;
    EXPECT_TRUE(guitest::Names(out.root().string()).empty());

    texture->setText("Denim");
    publish->click();
    EXPECT_EQ(prompts.messages.size(), 1u) << prompts.messages.back().detail;
    EXPECT_EQ(guitest::Names(out.root().string()),
              (std::vector<std::string>{"B100FAFat_Denim.cmx", "B100FAFatdrk_Denim.bmp", "B100FAFatlgt_Denim.bmp",
                                        "B100FAFatmed_Denim.bmp", "xskin-b100fafat_denim-PELVIS-BODY.skn"}));
    const QString report = dialog.findChild<QPlainTextEdit*>("txtReport")->toPlainText();
    EXPECT_TRUE(report.contains("note: the medium tone takes the light image")) << report.toStdString();
    EXPECT_FALSE(report.contains("dark tone takes")) << report.toStdString();
    EXPECT_NE(test::ReadFile(out.path("B100FAFatdrk_Denim.bmp")), test::ReadFile(out.path("B100FAFatlgt_Denim.bmp")));
    EXPECT_TRUE(report.contains("scaled to 256 x 256")) << report.toStdString();
    EXPECT_TRUE(report.contains("0 errors, 0 warnings in 5 files")) << report.toStdString();
    EXPECT_EQ(id->placeholderText(), "automatic: 101") << "the next publish takes the next ID";
    dialog.reject();
  });
  window.findChild<QAction*>("mnuPublish")->trigger();

  // The panel shows the outfit as written, in the tone chosen, instead of the model.
  const auto& parts = window.character().parts();
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_TRUE(parts[0].is_model);
  EXPECT_FALSE(parts[0].shown);
  EXPECT_EQ(parts[1].source, out.path("xskin-b100fafat_denim-PELVIS-BODY.skn"));
  EXPECT_EQ(parts[1].bitmap, out.path("B100FAFatmed_Denim.bmp"));
  // Nor is there a skeleton to show it on: the model shows the bitmap written.
  EXPECT_EQ(window.statusBar()->currentMessage().toStdString(),
            "Published B100FAFat_Denim: 5 files in " + out.root().string() +
                "; the model shows B100FAFatmed_Denim.bmp (no skeleton to show the outfit on)");
}

// A mesh whose name tells nothing, and no game folder: each choice is asked
// for, the controls start where a first publish needs them, and an image is
// chosen from images.
TEST(PublishDialogTest, AnUnnamedMeshWithoutAGameStartsEmpty) {
  Settings().clear();
  TempDir dir;
  const std::string mesh = dir.path("plain.skn");
  test::WriteFile(mesh, test::SmallSkn("plain", "x"));
  test::WriteFile(dir.path("light.bmp"), test::TwoColourBitmap());
  FakeChooser chooser;
  FakePrompts prompts;
  frmMain window("", &chooser, &prompts);
  window.OpenPath(mesh);
  ASSERT_TRUE(window.model().ModelLoaded);
  guitest::WhenModal([&](QDialog& dialog) {
    for (const char* combo : {"cmbGender", "cmbAge", "cmbBuild"})
      EXPECT_EQ(dialog.findChild<QComboBox*>(combo)->currentIndex(), -1) << combo;
    EXPECT_EQ(dialog.findChild<QComboBox*>("cmbShowTone")->currentData().toString(), "lgt");
    auto* game = dialog.findChild<QRadioButton*>("optGame");
    EXPECT_FALSE(game->isEnabled());
    EXPECT_TRUE(game->text().contains("File > Game Folder")) << game->text().toStdString();
    EXPECT_TRUE(dialog.findChild<QRadioButton*>("optFolder")->isChecked());
    EXPECT_EQ(dialog.findChild<QLineEdit*>("txtID")->maxLength(), 3);
    EXPECT_FALSE(dialog.findChild<QPushButton*>("cmdClearLight")->isEnabled()) << "nothing to clear";
    const std::string missing =
        "Still to choose: the gender, the age, the build, a texture name, the folder to write into and the light "
        "tone's image.";
    EXPECT_EQ(dialog.findChild<QLabel*>("lblProblem")->text().toStdString(), missing);
    dialog.findChild<QPushButton*>("cmdPublish")->click();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, missing);

    // A chosen file that is no image is refused, saying so.
    chooser.choices.push_back(FileChoice{dir.path("plain.skn"), 0});
    dialog.findChild<QPushButton*>("cmdLight")->click();
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[1].text, "The image could not be read.");
    chooser.choices.push_back(FileChoice{dir.path("light.bmp"), 0});
    dialog.findChild<QPushButton*>("cmdLight")->click();
    ASSERT_FALSE(chooser.calls.empty());
    EXPECT_EQ(chooser.calls.back().title, "Choose the Light Tone's Image");
    ASSERT_EQ(chooser.calls.back().filters.size(), 2u);
    EXPECT_EQ(chooser.calls.back().filters[0].description, "Images (*.bmp *.png *.jpg *.tga)");
    auto* clear = dialog.findChild<QPushButton*>("cmdClearLight");
    EXPECT_TRUE(clear->isEnabled());
    EXPECT_EQ(dialog.findChild<QLabel*>("lblProblem")->text().toStdString(),
              "Still to choose: the gender, the age, the build and the folder to write into.");
    clear->click();
    EXPECT_FALSE(clear->isEnabled());
    Choose(dialog, "cmbGender", "f");
    dialog.reject();
  });
  window.findChild<QAction*>("mnuPublish")->trigger();
  // Opened again on the same model the choices stay; on another model they start again.
  test::WriteFile(dir.path("other.skn"), test::SmallSkn("other", "x"));
  for (const auto& [path, gender] : {std::pair{mesh, "f"}, {dir.path("other.skn"), ""}}) {
    window.OpenPath(path);
    guitest::WhenModal([&](QDialog& dialog) {
      EXPECT_EQ(dialog.findChild<QComboBox*>("cmbGender")->currentData().toString(), gender) << path;
      dialog.reject();
    });
    window.findChild<QAction*>("mnuPublish")->trigger();
  }
}

TEST(PublishDialogTest, PublishesIntoTheGameFolderAndChecksItWithTheGame) {
  Settings().clear();
  test::SmallCharacter game;  // a skeleton and a body: the index takes it for a game
  // The file layer's spelling of the folder (backslashes on Windows).
  const std::string skins = JoinPath(JoinPath(game.dir.root().string(), "GameData"), "Skins");
  std::filesystem::create_directories(skins);
  test::WriteFile(game.dir.path("light.bmp"), test::TwoColourBitmap());
  FakeChooser chooser;
  FakePrompts prompts;
  frmMain window("", &chooser, &prompts);
  ASSERT_TRUE(guitest::IndexGame(*window.game_folder(), game.dir.root().string()));
  window.OpenPath(game.mesh);

  guitest::WhenModal([&](QDialog& dialog) {
    auto& publish = static_cast<frmPublish&>(dialog);
    EXPECT_TRUE(dialog.findChild<QRadioButton*>("optGame")->isChecked());
    EXPECT_EQ(publish.Request().folder, skins);
    EXPECT_NE(publish.Request().game, nullptr);
    ASSERT_TRUE(publish.SetImage(SkinTone::Light, game.dir.path("light.bmp")));
    // Browse… picks a folder instead of the game's; the game's is one click back.
    chooser.choices.push_back(FileChoice{game.dir.path("elsewhere"), 0});
    dialog.findChild<QPushButton*>("cmdBrowseFolder")->click();
    EXPECT_TRUE(dialog.findChild<QRadioButton*>("optFolder")->isChecked());
    EXPECT_EQ(publish.Request().folder, game.dir.path("elsewhere"));
    dialog.findChild<QRadioButton*>("optGame")->click();
    EXPECT_EQ(publish.Request().folder, skins);
    // A body published as a head: the model is hidden under it all the same.
    Choose(dialog, "cmbBuild", ""), Choose(dialog, "cmbKind", "c");
    EXPECT_TRUE(publish.Publish());
    // Published again with Replace, the set written is replaced, not added
    // to, and the report lists what went.
    dialog.findChild<QLineEdit*>("txtID")->setText("100");
    dialog.findChild<QLineEdit*>("txtMeshName")->setText("Bob");
    dialog.findChild<QCheckBox*>("chkReplace")->click();
    EXPECT_TRUE(publish.Publish());
    const QString report = dialog.findChild<QPlainTextEdit*>("txtReport")->toPlainText();
    EXPECT_TRUE(report.contains("\n  removed C100MA_light.cmx\n")) << report.toStdString();
    dialog.reject();
  });
  window.findChild<QAction*>("mnuPublish")->trigger();
  EXPECT_TRUE(prompts.messages.empty()) << prompts.messages.front().detail;
  EXPECT_EQ(guitest::Names(skins).size(), 5u);
  const auto& parts = window.character().parts();
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_TRUE(parts[0].is_model && !parts[0].shown);

  // With a game folder the check reads its Skins, asking for no folder.
  const std::size_t asked = chooser.calls.size();
  window.findChild<QAction*>("mnuCheckGame")->trigger();
  EXPECT_EQ(chooser.calls.size(), asked);
  const auto* check = window.findChild<frmCheck*>("frmCheck");
  ASSERT_NE(check, nullptr);
  EXPECT_EQ(check->FindingCount(), 0);
  EXPECT_FALSE(check->findChild<QPushButton*>("cmdOpenFinding")->isEnabled());
  EXPECT_EQ(check->findChild<QLabel*>("lblSummary")->text().toStdString(),
            "0 errors, 0 warnings in 5 files in " + skins + ", with the game's own files");
  Settings().clear();
}

TEST(CheckDialogTest, ListsErrorsFirstAndOpensAFindingsFile) {
  Settings().clear();
  TempDir skins;
  test::WriteFile(skins.path("B100FAFatlgt_Denim.bmp"), test::TwoColourBitmap());
  // A mesh whose first line is not its file's name: a warning, and a file to open.
  test::WriteFile(skins.path("xskin-b100fafat_denim-PELVIS-BODY.skn"), test::SmallSkn("elsewhere", "x"));
  FakeChooser chooser;
  FakePrompts prompts;
  frmMain window("", &chooser, &prompts);
  // Without a game folder the user picks the folder; none picked, nothing is checked.
  chooser.choices.push_back(std::nullopt);
  window.findChild<QAction*>("mnuCheckGame")->trigger();
  EXPECT_EQ(window.findChild<frmCheck*>("frmCheck"), nullptr);
  chooser.choices.push_back(FileChoice{skins.root().string(), 0});
  window.findChild<QAction*>("mnuCheckGame")->trigger();
  auto* check = window.findChild<frmCheck*>("frmCheck");
  ASSERT_NE(check, nullptr);
  EXPECT_TRUE(check->isVisible());
  auto* findings = check->findChild<QTreeWidget*>("lstFindings");
  ASSERT_GE(findings->topLevelItemCount(), 2);
  const QTreeWidgetItem* first = findings->topLevelItem(0);
  EXPECT_EQ(first->text(0), "Error");
  EXPECT_EQ(first->text(1), "B100FAFatlgt_Denim.bmp");
  EXPECT_TRUE(first->text(2).contains("8-bit")) << first->text(2).toStdString();
  EXPECT_EQ(first->toolTip(1).toStdString().rfind(skins.path("B100FAFatlgt_Denim.bmp"), 0), 0u);
  EXPECT_EQ(findings->topLevelItem(findings->topLevelItemCount() - 1)->text(0), "Warning");
  EXPECT_TRUE(check->findChild<QLabel*>("lblSummary")->text().startsWith("1 error,"));
  // The row chosen is told in full below the list.
  EXPECT_EQ(check->findChild<QLabel*>("lblFinding")->text(), first->toolTip(0));

  // Open on a bitmap wants a model to try it on; the mesh's row opens it as
  // the model, and then the bitmap is tried on it.
  auto* open = check->findChild<QPushButton*>("cmdOpenFinding");
  open->click();
  EXPECT_EQ(window.statusBar()->currentMessage(), "Open a model to try B100FAFatlgt_Denim.bmp on it");
  for (int row = 0; row < findings->topLevelItemCount(); ++row)
    if (findings->topLevelItem(row)->text(1).endsWith(".skn")) findings->setCurrentItem(findings->topLevelItem(row));
  emit findings->itemActivated(findings->currentItem(), 0);
  EXPECT_EQ(window.model().MeshName, "elsewhere");
  findings->setCurrentItem(findings->topLevelItem(0));
  open->click();
  EXPECT_EQ(window.character().parts().front().bitmap, skins.path("B100FAFatlgt_Denim.bmp"));
  // A finding about a binary suit opens it as a part, as a text suit is.
  Suit suit;
  suit.name = "c100fa_denim";
  suit.skins.push_back({"HEAD", "xskin-c100fa_denim-HEAD-HEAD", 0, {}});
  test::WriteFile(skins.path("c100fa_denim.cmx.bcf"), BcfBytes(CharacterFile{{}, {suit}, {}}));
  const std::size_t before = window.character().parts().size();
  emit check->OpenRequested(QString::fromStdString(skins.path("c100fa_denim.cmx.bcf")));
  EXPECT_EQ(window.character().parts().size(), before + 1);
  EXPECT_FALSE(window.statusBar()->currentMessage().endsWith("is no file Mervane opens"))
      << window.statusBar()->currentMessage().toStdString();
  // A skill's frames are checked but open as nothing: the status bar says so.
  emit check->OpenRequested(QString::fromStdString(skins.path("tiny-nod.cfp")));
  EXPECT_EQ(window.statusBar()->currentMessage().toStdString(), "tiny-nod.cfp is no file Mervane opens");
}

}  // namespace
}  // namespace mervane
