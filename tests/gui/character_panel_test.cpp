// The Character panel in the real window: one click dresses the model, a
// failure is a mark and a status line (never a message box), Space plays,
// and Save As still writes the model alone.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTest>
#include <QVector4D>
#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>

#include "archive/far.h"
#include "bitmap/bitmap.h"
#include "character_files.h"
#include "character/lookup.h"
#include "gui_support.h"
#include "shell/character_panel.h"
#include "shell/character_renderer.h"
#include "shell/game_dialog.h"
#include "shell/game_folder.h"
#include "shell/main_window.h"
#include "shell/preview_widget.h"
#include "shell/settings.h"
#include "skn/skn.h"

namespace mervane {
namespace {

TEST(CharacterPanelTest, DressesPlaysAndLeavesTheModelAlone) {
  QStandardPaths::setTestModeEnabled(true);
  Settings().clear();
  test::SmallCharacter character;
  character.AddSuit("c001ma_test", "xskin-c001ma_test-HEAD-HEADB", "HEAD");
  character.AddSuit("hmlo", "xskin-hmlo-L_HAND-HANDML", "L_HAND");  // the skeleton lacks L_HAND
  guitest::FakeChooser chooser;
  guitest::FakePrompts prompts;
  frmMain window("", &chooser, &prompts);
  window.OpenPath(character.mesh);
  CharacterPanel& panel = *window.character_panel();
  ASSERT_TRUE(panel.isVisibleTo(&window));
  ASSERT_EQ(window.character().parts().size(), 1u);

  // The Skeleton box picks the skeleton it names (no child skeleton here:
  // a status line, and Adult brings the rig back).
  auto* skeletons = panel.findChild<QComboBox*>("cmbSkeleton");
  ASSERT_NE(skeletons, nullptr);
  for (const auto& [index, kind] : {std::pair{1, SkeletonKind::Child}, {0, SkeletonKind::Adult}}) {
    emit skeletons->activated(index);
    EXPECT_EQ(window.character().skeleton_kind(), kind) << index;
  }
  ASSERT_TRUE(window.character().HasRig());
  // Hovering finds a bone where it is drawn: its label in the drawn axes.
  const auto& labels = window.preview()->character_renderer().bone_labels();
  const Pose& pose = window.character().pose();
  ASSERT_EQ(labels.size(), pose.size());
  for (std::size_t b = 0; b < labels.size(); ++b) {
    const Vec3& p = pose[b].position;
    const QVector3D drawn = CharacterRenderer::GameToDrawn().map(
        QVector3D(static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)));
    EXPECT_LT((labels[b].origin - drawn).length(), 1e-5f) << labels[b].name.toStdString();
  }
  // And hovering where a bone's origin is on screen names that bone.
  const PreviewWidget& preview = *window.preview();
  const QMatrix4x4 mvp = preview.Camera().ProjectionMatrix() * preview.Camera().ViewMatrix();
  const QSize view = preview.size();
  for (const auto& label : labels) {
    const QVector4D clip = mvp * QVector4D(label.origin, 1.0f);
    const QPoint pixel(static_cast<int>(std::lround((clip.x() / clip.w() + 1) / 2 * view.width())),
                       static_cast<int>(std::lround((1 - clip.y() / clip.w()) / 2 * view.height())));
    EXPECT_EQ(preview.BoneAt(pixel), label.name) << label.name.toStdString();
  }

  auto* offer = panel.findChild<QPushButton*>("cmdAddHeadHands");
  ASSERT_TRUE(offer->isVisibleTo(&panel));
  EXPECT_TRUE(offer->toolTip().endsWith(": c001ma_test.cmx, hmlo.cmx")) << offer->toolTip().toStdString();
  offer->click();
  ASSERT_EQ(window.character().parts().size(), 3u);
  EXPECT_FALSE(offer->isVisibleTo(&panel));
  EXPECT_TRUE(prompts.messages.empty());
  EXPECT_TRUE(window.statusBar()->currentMessage().contains("L_HAND"));
  const auto* parts = panel.findChild<QListWidget*>("lstParts");
  EXPECT_TRUE(parts->item(1)->icon().isNull());
  EXPECT_FALSE(parts->item(2)->icon().isNull());  // marked

  // Space plays and pauses; the search narrows the skills.
  panel.SetSearch("NOD");
  EXPECT_EQ(panel.ListedSkills(), QStringList{"tiny-nod \u2014 tiny-skills.cmx"});
  EXPECT_FALSE(panel.SelectSkillNamed("tiny-none"));  // sorts before the one listed
  ASSERT_TRUE(panel.SelectSkillNamed("tiny-nod"));
  EXPECT_TRUE(panel.Playing());
  window.findChild<QAction*>("mnuPlay")->trigger();
  EXPECT_FALSE(panel.Playing());
  panel.ShowFrame(2);
  EXPECT_EQ(window.character().frame(), 2);

  // View > Texture puts the image on the model as the character view draws it.
  const std::string image = character.dir.path("tried.png");
  ASSERT_TRUE(QImage(4, 4, QImage::Format_RGB32).save(QString::fromStdString(image)));
  window.ShowTextureFrom(image);
  EXPECT_EQ(window.character().parts().front().bitmap, image);
  // Bitmap… with a file that is no image says so and keeps the bitmap.
  test::WriteFile(character.dir.path("notes.bmp"), "not a bitmap");
  panel.findChild<QListWidget*>("lstParts")->setCurrentRow(0);
  chooser.choices.push_back(FileChoice{character.dir.path("notes.bmp"), 0});
  panel.findChild<QAction*>("mnuBitmapFromFile")->trigger();
  EXPECT_EQ(window.character().parts().front().bitmap, image);
  EXPECT_TRUE(window.statusBar()->currentMessage().startsWith("notes.bmp is not an image"))
      << window.statusBar()->currentMessage().toStdString();

  // Save As writes the loaded model only.
  chooser.choices.push_back(FileChoice{character.dir.path("saved.skn"), 0});
  window.SaveAs();
  const SkinModel saved = test::ReadSknText(test::ReadFile(character.dir.path("saved.skn")));
  EXPECT_EQ(saved.MeshName, "xskin-b001mafit_test-PELVIS-BODY");
  EXPECT_EQ(saved.VertexCount, 5);

  // Export Character writes the shown, dressed parts with the skill.
  chooser.choices.push_back(FileChoice{character.dir.path("all.glb"), 0});
  window.ExportCharacter();
  EXPECT_EQ(test::ReadFile(character.dir.path("all.glb")).substr(0, 4), "glTF");
  EXPECT_EQ(window.statusBar()->currentMessage().toStdString(), "Exported 2 parts and tiny-nod to all.glb");
  EXPECT_EQ(chooser.calls.back().proposed, "xskin-b001mafit_test-PELVIS-BODY.glb");
  EXPECT_EQ(chooser.calls.back().filters.front().description, "glTF Binary (*.glb)");
  EXPECT_TRUE(chooser.calls.back().confirm_replace);
  // Export Skills brings its animation back as a skill file and its frames;
  // a bare name takes the extension of the type chosen, double for binary.
  for (const auto& [folder, type, written] : {std::tuple{"back", 0, "nod.cmx"}, {"binary", 1, "nod.cmx.bcf"}}) {
    chooser.choices.push_back(FileChoice{character.dir.path("all.glb"), 0});
    chooser.choices.push_back(FileChoice{character.dir.path(std::string(folder) + "/nod"), type});
    std::filesystem::create_directories(character.dir.path(folder));
    window.findChild<QAction*>("mnuExportSkills")->trigger();
    EXPECT_EQ(window.statusBar()->currentMessage().toStdString(), std::string("Exported 1 skill of all.glb to ") + written);
    EXPECT_EQ(ReadCharacterFile(character.dir.path(std::string(folder) + "/" + written)).skills.at(0).name, "tiny-nod");
    EXPECT_EQ(chooser.calls.back().proposed, "all.cmx");
    EXPECT_TRUE(chooser.calls.back().confirm_replace);
  }
  // An export that cannot be written says so in a message.
  ASSERT_TRUE(prompts.messages.empty());
  const struct {
    const char* action;
    std::vector<std::string> paths;  // chosen in turn
    const char* message;
  } failing[] = {
      {"mnuExportSkills", {character.dir.path("notes.bmp"), character.dir.path("back/none")},
       "The skills could not be exported."},
      {"mnuExportCharacter", {character.dir.path("gone/all.glb")}, "The character could not be exported."},
      {"mnuExportTemplate", {character.dir.path("gone/paint.png")}, "The texture template could not be exported."},
  };
  for (const auto& f : failing) {
    for (const std::string& path : f.paths) chooser.choices.push_back(FileChoice{path, 0});
    window.findChild<QAction*>(f.action)->trigger();
    ASSERT_EQ(prompts.messages.size(), 1u) << f.action;
    EXPECT_EQ(prompts.messages[0].text, f.message);
    prompts.messages.clear();
  }
  // A part unticked in the list is left out of the export, dressed or not.
  parts->item(0)->setCheckState(Qt::Unchecked);
  chooser.choices.push_back(FileChoice{character.dir.path("some.glb"), 0});
  window.ExportCharacter();
  EXPECT_EQ(window.statusBar()->currentMessage().toStdString(), "Exported 1 part and tiny-nod to some.glb");
  parts->item(0)->setCheckState(Qt::Checked);

  // Export Texture Template lays the model's faces over the bitmap it is
  // drawn with (tried.png, 4 x 4), and the shown parts that wear it too.
  chooser.choices.push_back(FileChoice{character.dir.path("paint"), 0});
  window.findChild<QAction*>("mnuExportTemplate")->trigger();
  const Image painted = DecodeImage(test::ReadFile(character.dir.path("paint.png")));
  EXPECT_EQ(chooser.calls.back().proposed, "xskin-b001mafit_test-PELVIS-BODY-template.png");
  EXPECT_EQ(chooser.calls.back().filters.front().description, "PNG Image (*.png)");
  EXPECT_EQ(painted.width, 4);
  EXPECT_EQ(painted.height, 4);
  EXPECT_EQ(window.statusBar()->currentMessage().toStdString(),
            "Exported the texture template of 1 part (4 x 4) to paint.png; 2 other parts wear bitmaps of their own");
  panel.findChild<QListWidget*>("lstParts")->setCurrentRow(1);
  chooser.choices.push_back(FileChoice{image, 0});
  panel.findChild<QAction*>("mnuBitmapFromFile")->trigger();
  chooser.choices.push_back(FileChoice{character.dir.path("paint.png"), 0});
  window.findChild<QAction*>("mnuExportTemplate")->trigger();
  EXPECT_EQ(window.statusBar()->currentMessage().toStdString(),
            "Exported the texture template of 2 parts (4 x 4) to paint.png; 1 other part wears a bitmap of its own");

  // A model with a bone the skeleton lacks says so in the status bar.
  window.OpenPath(character.dir.path("xskin-hmlo-L_HAND-HANDML.skn"));
  EXPECT_EQ(window.statusBar()->currentMessage().toStdString(),
            "xskin-hmlo-L_HAND-HANDML.skn: mesh xskin-hmlo-L_HAND-HANDML: the skeleton adult has no bone L_HAND");

  // Closed, the panel stays closed in the next window (the window is not
  // shown here, so the menu item is first put as a shown window has it).
  panel.toggleViewAction()->setChecked(true);
  panel.toggleViewAction()->trigger();
  frmMain next("", &chooser, &prompts);
  EXPECT_FALSE(next.character_panel()->isVisibleTo(&next));
  Settings().clear();
}

// The parts list's buttons and ticks, the tones and Rest Pose each change
// the scene as their labels say; a cancelled choice changes nothing.
TEST(CharacterPanelTest, EachPartToneAndRestControlChangesTheScene) {
  QStandardPaths::setTestModeEnabled(true);
  Settings().clear();
  test::SmallCharacter character;
  character.AddSuit("c001ma_test", "xskin-c001ma_test-HEAD-HEADB", "HEAD");
  const std::string dark = character.dir.path("b001mafitdrk_test.bmp");
  test::WriteFile(dark, test::TwoColourBitmap());
  guitest::FakeChooser chooser;
  guitest::FakePrompts prompts;
  frmMain window("", &chooser, &prompts);
  window.OpenPath(character.mesh);
  CharacterPanel& panel = *window.character_panel();
  const CharacterScene& scene = window.character();
  auto* parts = panel.findChild<QListWidget*>("lstParts");
  const auto click = [&](const char* button) { panel.findChild<QAbstractButton*>(button)->click(); };
  const auto select = [&](int row) { parts->setCurrentRow(row); };
  const struct {
    const char* what;
    std::function<void()> act;
    std::vector<bool> shown;  // each part's, in the list's order
    std::string status;
  } steps[] = {
      {"Add Part\u2026 takes the file chosen", [&] { chooser.choices.push_back(FileChoice{character.dir.path("c001ma_test.cmx"), 0}); click("cmdAddPart"); },
       {true, true}, "Added c001ma_test.cmx"},
      {"and nothing when none is", [&] { chooser.choices.push_back(std::nullopt); click("cmdAddPart"); }, {true, true}, "Added c001ma_test.cmx"},
      {"unticked, a part is hidden", [&] { parts->item(1)->setCheckState(Qt::Unchecked); }, {true, false}, "Added c001ma_test.cmx"},
      {"the model is not removed", [&] { select(0), click("cmdRemovePart"); }, {true, false}, "Added c001ma_test.cmx"},
      {"another part is", [&] { select(1), click("cmdRemovePart"); }, {true}, "Added c001ma_test.cmx"},
      {"a bitmap wants a part chosen",
       [&] { select(-1), panel.findChild<QAction*>("mnuBitmapFromFile")->trigger(); }, {true},
       "Select a part first, then choose its bitmap"},
      {"a tone is the scene's", [&] { click("optToneDark"); }, {true}, "Skin tone: Dark"},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.what);
    step.act();
    std::vector<bool> shown;
    for (const ScenePart& part : scene.parts()) shown.push_back(part.shown);
    EXPECT_EQ(shown, step.shown);
    EXPECT_EQ(parts->count(), static_cast<int>(step.shown.size()));
    EXPECT_EQ(window.statusBar()->currentMessage().toStdString(), step.status);
  }
  EXPECT_EQ(scene.tone(), SkinTone::Dark);
  EXPECT_EQ(scene.parts()[0].bitmap, dark);
  // Play pauses what plays; the slider shows a frame, and the line under it
  // says which; Rest Pose stops the skill and stands the Sim at rest.
  ASSERT_TRUE(panel.SelectSkillNamed("tiny-nod"));
  auto* play = panel.findChild<QPushButton*>("cmdPlay");
  auto* frame = panel.findChild<QLabel*>("lblFrame");
  ASSERT_TRUE(panel.Playing());
  play->click();
  EXPECT_FALSE(panel.Playing());
  EXPECT_EQ(play->text(), "Play");
  auto* slider = panel.findChild<QSlider*>("sldFrame");
  EXPECT_EQ(std::make_pair(slider->minimum(), slider->maximum()), std::make_pair(0, 2)) << "the frames 0 to 2";
  slider->setValue(2);
  EXPECT_EQ(scene.frame(), 2);
  EXPECT_EQ(frame->text(), "tiny-nod: frame 2 of 3, 0.07 s");
  // A skill plays at the game's speed, looping; unlooped, it stops at its last frame.
  auto* loop = panel.findChild<QCheckBox*>("chkLoop");
  EXPECT_EQ(panel.findChild<QComboBox*>("cmbSpeed")->currentData().toDouble(), 1.0);
  EXPECT_TRUE(loop->isChecked());
  // Looped, from the last frame it comes round to the first ones again.
  play->click();
  double shown = scene.frame();
  EXPECT_TRUE(QTest::qWaitFor([&] { return std::exchange(shown, scene.frame()) > scene.frame(); }, 5000));
  EXPECT_TRUE(panel.Playing());
  // The modelling pose pauses it, saying where it plays.
  window.findChild<QAction*>("mnuModellingPose")->trigger();
  EXPECT_FALSE(panel.Playing());
  EXPECT_EQ(window.statusBar()->currentMessage().toStdString(),
            "Modelling pose: the skill is paused; it plays in the game pose");
  window.findChild<QAction*>("mnuGamePose")->trigger();
  loop->setChecked(false);
  play->click();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !panel.Playing(); }, 5000));
  EXPECT_EQ(scene.frame(), 2);
  click("cmdRestPose");
  EXPECT_FALSE(panel.Playing());
  EXPECT_FALSE(scene.animation());
  EXPECT_EQ(scene.frame(), 0);
  EXPECT_EQ(frame->text(), "Rest pose");
  EXPECT_FALSE(play->isEnabled());
  Settings().clear();
}

// Skills of one name in two files are told apart by the file; one whose
// frames are missing is greyed with the reason; opening a file plays its
// first skill that has frames, and the line it shows replaces an old error.
TEST(CharacterPanelTest, SkillsNameTheirFileAndTheMissingFrames) {
  QStandardPaths::setTestModeEnabled(true);
  Settings().clear();
  test::SmallCharacter character;
  CharacterFile reversed = ReadCharacterFile(character.skill_file);
  std::reverse(reversed.skills.begin(), reversed.skills.end());  // tiny-lost first
  const std::string lost_first = character.dir.path("lost-first.cmx");
  test::WriteFile(lost_first, CmxText(reversed));
  guitest::FakeChooser chooser;
  guitest::FakePrompts prompts;
  frmMain window("", &chooser, &prompts);
  window.OpenPath(character.mesh);
  CharacterPanel& panel = *window.character_panel();
  auto* skills = panel.findChild<QListWidget*>("lstSkills");
  const QColor grey = skills->palette().color(QPalette::Disabled, QPalette::Text);
  const struct {
    const char* text;
    bool greyed;
  } rows[] = {
      {"tiny-lost \u2014 lost-first.cmx", true},
      {"tiny-nod \u2014 lost-first.cmx", false},
      {"tiny-lost \u2014 tiny-skills.cmx", true},
      {"tiny-nod \u2014 tiny-skills.cmx", false},
  };
  ASSERT_EQ(skills->count(), 4);
  for (const auto& want : rows) {
    const auto found = skills->findItems(QString::fromUtf8(want.text), Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << want.text;
    EXPECT_EQ(found.front()->foreground().color() == grey, want.greyed) << want.text;
    EXPECT_EQ(found.front()->toolTip().contains("tiny-lost.cfp"), want.greyed) << want.text;
  }
  ASSERT_TRUE(panel.SelectSkillNamed("tiny-lost"));
  EXPECT_TRUE(window.statusBar()->currentMessage().contains("tiny-lost.cfp"));
  EXPECT_FALSE(window.character().animation());
  ASSERT_TRUE(panel.PlaySkillsOf(lost_first));
  ASSERT_TRUE(window.character().animation());
  EXPECT_EQ(window.character().animation()->name, "tiny-nod");
  EXPECT_EQ(skills->currentItem()->text(), QString::fromUtf8(rows[1].text));
  EXPECT_EQ(window.statusBar()->currentMessage().toStdString(), "Playing tiny-nod from lost-first.cmx");
  EXPECT_FALSE(panel.PlaySkillsOf(character.dir.path("none.cmx")));
  // A click on a skill in a narrowed list plays that one, not the row's
  // place in the whole list.
  panel.SetSearch("tiny-skills");
  ASSERT_EQ(skills->count(), 2);
  emit skills->itemClicked(skills->findItems(QString::fromUtf8(rows[3].text), Qt::MatchExactly).at(0));
  EXPECT_EQ(window.statusBar()->currentMessage().toStdString(), "Playing tiny-nod from tiny-skills.cmx");
  Settings().clear();
}

// Each time Open from Game opens, the search has the focus, even after the
// list had it.
TEST(OpenFromGameTest, TheSearchHasTheFocusEachTimeItOpens) {
  frmOpenFromGame dialog;
  dialog.SetNames({"adult-skeleton.cmx", "c001ma_ross.cmx", "hmlo.cmx.bcf", "hmlolgt.bmp"});
  auto* search = dialog.findChild<QLineEdit*>("txtGameSearch");
  auto* list = dialog.findChild<QListWidget*>("lstGameFiles");
  // The widget that has the focus when the window is active (the offscreen
  // platform does not activate a window shown again).
  for (int opening = 0; opening < 2; ++opening) {
    dialog.show();
    QTest::qWait(20);
    EXPECT_EQ(dialog.focusWidget(), search) << opening;
    list->setFocus();
    dialog.hide();
  }
  // The search ignores case.
  dialog.SetSearch("ROSS");
  EXPECT_EQ(dialog.ListedCount(), 1);
  EXPECT_EQ(dialog.findChild<QLabel*>("lblGameCount")->text(), "1 of 3 files");
  dialog.SetSearch("");
  EXPECT_EQ(dialog.ListedCount(), 3);  // binary character files too, not bitmaps
  // The arrows in the search move through the list.
  QTest::keyClick(search, Qt::Key_Down);
  EXPECT_EQ(dialog.Chosen(), "c001ma_ross.cmx");
  QTest::keyClick(search, Qt::Key_Up);
  EXPECT_EQ(dialog.Chosen(), "adult-skeleton.cmx");
  QTest::keyClick(search, Qt::Key_PageDown);
  EXPECT_EQ(dialog.Chosen(), "hmlo.cmx.bcf");
  QTest::keyClick(search, Qt::Key_PageUp);
  EXPECT_EQ(dialog.Chosen(), "adult-skeleton.cmx");
  EXPECT_EQ(search->text(), "") << "the keys that move through the list type nothing";
}

// Open from Game opens each file as what it is: a mesh as the model, a suit
// as a part, a skeleton as the skeleton, a skill file played, an archive's
// member as a loose file; one that does not read says so and changes nothing.
TEST(OpenFromGameTest, EachFileOpensAsWhatItIs) {
  Settings().clear();
  test::SmallCharacter game;
  game.AddSuit("c001ma_test", "xskin-c001ma_test-HEAD-HEADB", "HEAD");
  test::WriteFile(game.dir.path("other-skeleton.cmx"), test::ReadFile(game.dir.path("adult-skeleton.cmx")));
  const std::string skills = test::ReadFile(game.skill_file);
  const FarFile members[] = {{"Anims/far-skills.cmx", skills}, {"Anims/broken.cmx", "not a character file"}};
  test::WriteFile(game.dir.path("anims.far"), FarBytes(members));
  guitest::FakeChooser chooser;
  guitest::FakePrompts prompts;
  frmMain window("", &chooser, &prompts);
  ASSERT_TRUE(guitest::IndexGame(*window.game_folder(), game.dir.root().string()));
  const CharacterScene& scene = window.character();
  const struct {
    const char* name;
    std::function<bool()> opened;
  } rows[] = {
      {"xskin-b001mafit_test-PELVIS-BODY.skn", [&] { return window.model().MeshName == "xskin-b001mafit_test-PELVIS-BODY"; }},
      {"c001ma_test.cmx", [&] { return scene.parts().size() == 2 && scene.parts()[1].mesh->name == "xskin-c001ma_test-HEAD-HEADB"; }},
      {"other-skeleton.cmx", [&] { return scene.skeleton_kind() == SkeletonKind::File && scene.skeleton_file().ends_with("other-skeleton.cmx"); }},
      {"far-skills.cmx", [&] { return scene.animation() && scene.animation()->name == "tiny-nod"; }},
      {"broken.cmx", [&] { return scene.parts().size() == 2 && window.statusBar()->currentMessage().contains("broken.cmx"); }},
  };
  for (const auto& row : rows) {
    guitest::WhenModal([&](QDialog& dialog) {
      static_cast<frmOpenFromGame&>(dialog).SetSearch(row.name);
      dialog.accept();
    });
    window.findChild<QAction*>("mnuOpenFromGame")->trigger();
    EXPECT_TRUE(row.opened()) << row.name << ": " << window.statusBar()->currentMessage().toStdString();
  }
  Settings().clear();
}

// The panel offers every bitmap the game pairs with a part, archives
// included, and Bitmap… takes any of the game's.
TEST(CharacterPanelTest, OffersTheGamesTexturesOfAPart) {
  Settings().clear();
  test::SmallCharacter game;
  game.AddSuit("hmlo", "xskin-hmlo-L_HAND-HANDML", "L_HAND");
  const std::string bitmap = test::TwoColourBitmap();
  const FarFile members[] = {{"Skins/B001MAFitlgt_Arc.bmp", bitmap}};
  test::WriteFile(game.dir.path("skins.far"), FarBytes(members));
  guitest::FakeChooser chooser;
  guitest::FakePrompts prompts;
  frmMain window("", &chooser, &prompts);
  ASSERT_TRUE(guitest::IndexGame(*window.game_folder(), game.dir.root().string()));
  window.OpenPath(game.mesh);
  auto& panel = *window.character_panel();
  panel.findChild<QListWidget*>("lstParts")->setCurrentRow(0);
  auto* textures = panel.findChild<QComboBox*>("cmbPartTexture");
  ASSERT_EQ(textures->count(), 2);
  EXPECT_EQ(textures->itemText(0), "test");
  EXPECT_EQ(textures->itemText(1), "Arc");
  EXPECT_EQ(textures->currentIndex(), 0);
  const ScenePart& model = window.character().parts().front();

  const struct {
    const char* texture;      // picked in the list; empty: the game's bitmap by name
    const char* bitmap_ends;  // the bitmap then drawn
    int current;              // the list's entry then shown (-1: "Your bitmap")
  } steps[] = {{"Arc", "skins.far/Skins/B001MAFitlgt_Arc.bmp", 1},
               {"test", "b001mafitlgt_test.bmp", 0},
               {"", "skins.far/Skins/B001MAFitlgt_Arc.bmp", -1}};
  for (const auto& step : steps) {
    if (*step.texture) {
      textures->setCurrentIndex(textures->findText(step.texture));
      emit textures->activated(textures->currentIndex());
    } else {
      panel.ChooseGameBitmapNamed("b001mafitlgt_arc.BMP");
    }
    EXPECT_TRUE(model.bitmap.ends_with(step.bitmap_ends)) << model.bitmap;
    EXPECT_EQ(textures->currentIndex(), step.current) << step.texture;
  }
  EXPECT_TRUE(model.bitmap_chosen);
  // Bitmap > From the Game… opens on the bitmaps of the part's outfit number.
  guitest::WhenModal([&](QDialog& dialog) {
    EXPECT_EQ(dialog.findChild<QLineEdit*>("txtGameSearch")->text(), "b001");
    static_cast<frmOpenFromGame&>(dialog).SetSearch("mafitlgt_test");
    dialog.accept();
  });
  panel.findChild<QAction*>("mnuBitmapFromGame")->trigger();
  EXPECT_TRUE(model.bitmap.ends_with("b001mafitlgt_test.bmp")) << model.bitmap;
  // A hand's, on the bitmaps of its own name.
  panel.AddPartFrom(game.dir.path("hmlo.cmx"));
  panel.findChild<QListWidget*>("lstParts")->setCurrentRow(1);
  guitest::WhenModal([&](QDialog& dialog) {
    EXPECT_EQ(dialog.findChild<QLineEdit*>("txtGameSearch")->text(), "hmlo");
    dialog.reject();
  });
  panel.findChild<QAction*>("mnuBitmapFromGame")->trigger();
  Settings().clear();
}

// The panel's controls as a first run shows them, and the file each of its
// buttons asks for: its own title and, first, the types it takes.
TEST(CharacterPanelTest, ControlsStartAtTheirDefaultsAndAskForTheirOwnFiles) {
  QStandardPaths::setTestModeEnabled(true);
  Settings().clear();
  test::SmallCharacter character;
  guitest::FakeChooser chooser;
  guitest::FakePrompts prompts;
  frmMain window("", &chooser, &prompts);
  window.OpenPath(character.mesh);
  CharacterPanel& panel = *window.character_panel();
  const auto* seam = panel.findChild<QDoubleSpinBox*>("spnSeamDistance");
  ASSERT_NE(seam, nullptr);
  EXPECT_EQ(seam->decimals(), 3);
  EXPECT_EQ(seam->minimum(), 0.0);
  EXPECT_EQ(seam->maximum(), 1.0);
  EXPECT_DOUBLE_EQ(seam->singleStep(), 0.005);
  EXPECT_DOUBLE_EQ(seam->value(), 0.01);
  EXPECT_FALSE(panel.findChild<QCheckBox*>("chkSeams")->isChecked());
  window.findChild<QAction*>("mnuSeams")->trigger();  // View > Seams is the same switch
  EXPECT_TRUE(panel.findChild<QCheckBox*>("chkSeams")->isChecked());
  const auto* speed = panel.findChild<QComboBox*>("cmbSpeed");
  QStringList speeds;
  for (int k = 0; k < speed->count(); ++k)
    speeds << speed->itemText(k) + "=" + QString::number(speed->itemData(k).toDouble());
  EXPECT_EQ(speeds, (QStringList{"\u00bc\u00d7=0.25", "\u00bd\u00d7=0.5", "1\u00d7=1", "2\u00d7=2"}));

  const struct {
    std::function<void()> ask;
    const char* title;
    const char* first;  // description and patterns
  } asks[] = {
      {[&] { panel.findChild<QPushButton*>("cmdAddPart")->click(); }, "Add a Part to the Character",
       "Meshes and Suits (*.skn *.bmf *.glb *.gltf *.cmx *.bcf)=*.skn *.bmf *.glb *.gltf *.cmx *.bcf"},
      {[&] { emit panel.findChild<QComboBox*>("cmbSkeleton")->activated(2); }, "Choose the Skeleton",
       "Skeletons (*.cmx *.bcf)=*.cmx *.bcf"},
      {[&] {
         panel.findChild<QListWidget*>("lstParts")->setCurrentRow(0);
         panel.findChild<QAction*>("mnuBitmapFromFile")->trigger();
       },
       "Choose the Part's Bitmap", "Bitmaps (*.bmp)=*.bmp"},
  };
  for (const auto& a : asks) {
    SCOPED_TRACE(a.title);
    const std::size_t before = chooser.calls.size();
    a.ask();  // and cancelled
    ASSERT_EQ(chooser.calls.size(), before + 1);
    const auto& call = chooser.calls.back();
    EXPECT_EQ(call.title, a.title);
    ASSERT_FALSE(call.filters.empty());
    EXPECT_EQ(call.filters.front().description + "=" + call.filters.front().patterns, a.first);
    EXPECT_EQ(call.filters.back().description, "All files (*.*)");
  }
  // A cancelled skeleton file leaves the box on the skeleton shown.
  EXPECT_EQ(panel.findChild<QComboBox*>("cmbSkeleton")->currentIndex(), 0);
  Settings().clear();
}

// The status bar says what the index found; Open from Game is offered only
// while the folder indexed last is a game's.
TEST(GameFolderTest, TheStatusBarSaysWhetherTheFolderIsAGame) {
  QStandardPaths::setTestModeEnabled(true);
  Settings().clear();
  test::SmallCharacter game, damaged;
  test::WriteFile(damaged.dir.path("broken.far"), "not an archive");
  test::TempDir empty;
  test::WriteFile(empty.path("notes.txt"), "x");
  guitest::FakeChooser chooser;
  guitest::FakePrompts prompts;
  frmMain window("", &chooser, &prompts);
  QAction* open = window.findChild<QAction*>("mnuOpenFromGame");
  const struct {
    std::string folder;
    bool game;
    const char* unread = "";  // the first archive the index could not read
  } rows[] = {{game.dir.root().string(), true},
              {damaged.dir.root().string(), true, "broken.far"},
              {empty.root().string(), false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.folder);
    ASSERT_TRUE(guitest::IndexGame(*window.game_folder(), row.folder));
    const QString line = window.statusBar()->currentMessage();
    const QString folder = QString::fromStdString(row.folder);
    if (row.game) {
      EXPECT_TRUE(line.startsWith("Game folder " + folder + ": ")) << line.toStdString();
      if (*row.unread)
        EXPECT_TRUE(line.contains(" files; not read: ") && line.contains(row.unread)) << line.toStdString();
      else
        EXPECT_TRUE(line.endsWith(" files")) << line.toStdString();
    } else {
      EXPECT_TRUE(line.startsWith("No game was found in " + folder + ": ")) << line.toStdString();
    }
    EXPECT_EQ(open->isEnabled(), row.game);
    EXPECT_TRUE(window.findChild<QWidget*>("prgIndexing")->isHidden()) << "no progress once indexed";
  }
  Settings().clear();
}

// A folder chosen while another is being indexed is the one that ends up
// indexed: the first one's index is dropped when it ends.
TEST(GameFolderTest, TheFolderChosenLastIsTheOneIndexed) {
  QStandardPaths::setTestModeEnabled(true);
  test::TempDir first, second;
  test::WriteFile(first.path("only-first.cmx"), "x");
  test::WriteFile(second.path("only-second.cmx"), "x");
  GameFolder game;
  QSignalSpy indexed(&game, &GameFolder::Indexed);
  game.Index(QString::fromStdString(first.root().string()));
  game.Index(QString::fromStdString(second.root().string()));
  ASSERT_TRUE(indexed.wait(20000));
  while (game.Indexing()) QTest::qWait(10);
  ASSERT_NE(game.index(), nullptr);
  EXPECT_TRUE(game.index()->Find("only-second.cmx").has_value());
  EXPECT_FALSE(game.index()->Find("only-first.cmx").has_value());
  EXPECT_EQ(indexed.last().at(0).toString().toStdString(), second.root().string());
  // The next start indexes the folder indexed last, while it is there.
  EXPECT_EQ(GameFolder::Remembered().toStdString(), second.root().string());
  Settings().setValue("game/folder", QString::fromStdString(second.path("gone")));
  EXPECT_NE(GameFolder::Remembered().toStdString(), second.path("gone"));
  Settings().clear();
}

}  // namespace
}  // namespace mervane
