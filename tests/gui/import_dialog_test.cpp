#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest/QTest>
#include <filesystem>
#include <memory>

#include "gui_support.h"
#include "shell/import_dialog.h"
#include "model/failure.h"
#include "shell/main_window.h"
#include "shell/preview_widget.h"

namespace mervane {
namespace {

using guitest::FakeChooser;
using guitest::FakePrompts;
using guitest::Fixture;
using guitest::TempDir;

// The three-vertex part: every vertex named by the one face.
constexpr const char* kTriangle =
    "v 0 0 0\nv 1 0 0\nv 0 1 0\n"
    "vt 0 0\nvt 1 0\nvt 0 1\n"
    "vn 0 0 1\nvn 0 0 1\nvn 0 0 1\n"
    "f 1/1/1 2/2/2 3/3/3\n";

// The first face names normals 4 to 6, which the file does not hold; the
// second names real ones, crosswise. Answering Yes gives vertex k normal k;
// No keeps what the faces name, the last corner winning.
constexpr const char* kNeedsNormalFix =
    "v 1 2 3\nv 4 5 6\nv 7 8 9\n"
    "vt 0 0\nvt 1 0\nvt 0 1\n"
    "vn 0.48 0.6 0.64\nvn 0.6 0.64 0.48\nvn 0.64 0.48 0.6\n"
    "f 1/1/4 2/2/5 3/3/6\n"
    "f 1/1/3 2/2/2 3/3/1\n";
// The same normals turned into ROOT's axes: (x, y, z) becomes (y, -x, z).
constexpr const char* kNormalA = "0.600000 -0.480000 0.640000";
constexpr const char* kNormalC = "0.480000 -0.640000 0.600000";

class ImportTest : public ::testing::Test {
 protected:
  void SetUp() override { window_ = std::make_unique<frmMain>("", &chooser_, &prompts_); }

  // Runs the Import OBJ command; steps act on the dialog while it is open.
  void Import(std::function<void(frmImportOBJ&)> steps) {
    guitest::WhenModal([steps](QDialog& dialog) {
      auto* import = qobject_cast<frmImportOBJ*>(&dialog);
      ASSERT_NE(import, nullptr) << dialog.objectName().toStdString();
      steps(*import);
    });
    window_->findChild<QAction*>("mnuImportOBJ")->trigger();
  }
  // Fills the dialog and presses Import.
  void ImportFile(const std::string& path, const std::string& site = "ROOT",
                  const std::string& mesh = "part", const std::string& skin = "part_skin") {
    Import([&](frmImportOBJ& d) {
      Fill(d, path, mesh, skin, site);
      Click(d, "cmdImport");
    });
  }

  static QLineEdit* Field(frmImportOBJ& d, const char* name) {
    auto* field = d.findChild<QLineEdit*>(name);
    EXPECT_NE(field, nullptr) << name;
    return field;
  }
  static QComboBox* Sites(frmImportOBJ& d) { return d.findChild<QComboBox*>("cmbAttachSite"); }
  static void Type(frmImportOBJ& d, const char* name, const std::string& text) {
    QLineEdit* field = Field(d, name);
    field->clear();
    QTest::keyClicks(field, QString::fromStdString(text));
  }
  static void Fill(frmImportOBJ& d, const std::string& path, const std::string& mesh,
                   const std::string& skin, const std::string& site) {
    Type(d, "txtFileName", path);
    Type(d, "txtFileDes", mesh);
    Type(d, "txtDefaultSkin", skin);
    Sites(d)->setCurrentText(QString::fromStdString(site));
  }
  static void Click(frmImportOBJ& d, const char* name) {
    auto* button = d.findChild<QPushButton*>(name);
    ASSERT_NE(button, nullptr) << name;
    QTest::mouseClick(button, Qt::LeftButton);
  }
  std::string Label2() const {
    return window_->centralWidget()->findChild<QLabel*>("Label2")->text().toStdString();
  }
  std::string WriteObj(const std::string& name, const std::string& text) {
    const std::string path = dir_.path(name);
    guitest::WriteFile(path, text);
    return path;
  }
  void LoadSkin() {
    std::string skin = Fixture("mannequin.skn");
    if (skin.empty()) skin = Fixture("sample.skn");
    ASSERT_FALSE(skin.empty()) << "no sample skin found";
    chooser_.choices.push_back(FileChoice{skin, 0});
    window_->findChild<QAction*>("mnuOpen")->trigger();
    ASSERT_TRUE(window_->model().ModelLoaded);
    skin_ = skin;
  }

  TempDir dir_;
  FakeChooser chooser_;
  FakePrompts prompts_;
  std::unique_ptr<frmMain> window_;
  std::string skin_;
};

TEST_F(ImportTest, DialogOnFirstUse) {
  Import([&](frmImportOBJ& d) {
    EXPECT_EQ(d.objectName(), "frmImportOBJ");
    EXPECT_EQ(d.windowTitle(), "Import OBJ");
    EXPECT_TRUE(d.isModal());
    for (const char* name : {"txtFileName", "txtFileDes", "txtDefaultSkin"})
      EXPECT_EQ(Field(d, name)->text(), "Text1") << name;

    QComboBox* sites = Sites(d);
    ASSERT_EQ(sites->count(), 24);
    const char* expected[] = {"ROOT",   "PELVIS", "R_LEG",  "R_LEG1", "R_FOOT", "R_TOE",
                              "R_TOE0", "L_LEG",  "L_LEG1", "L_FOOT", "L_TOE0", "SPINE",
                              "SPINE1", "SPINE2", "NECK",   "HEAD",   "R_ARM",  "R_ARM1",
                              "R_ARM2", "R_HAND", "L_ARM",  "L_ARM1", "L_ARM2", "L_HAND"};
    for (int i = 0; i < 24; ++i) EXPECT_EQ(sites->itemText(i), expected[i]) << i;
    EXPECT_EQ(sites->currentText(), "ROOT");

    const QList<QLabel*> labels = d.findChildren<QLabel*>("Label1");
    ASSERT_EQ(labels.size(), 4);
    const char* captions[] = {"File Name", "File Designation", "Default Skin", "Attach Site"};
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(labels[i]->text(), captions[i]);
      EXPECT_EQ(labels[i]->property("index").toInt(), i);
    }
    auto* browse = d.findChild<QPushButton*>("Command1");
    auto* import = d.findChild<QPushButton*>("cmdImport");
    auto* cancel = d.findChild<QPushButton*>("cmdCancel");
    ASSERT_TRUE(browse && import && cancel);
    EXPECT_EQ(browse->text(), "...");
    EXPECT_EQ(import->text(), "Import");
    EXPECT_EQ(cancel->text(), "Cancel");

    // Labels left of their fields, "..." at the end of the file name,
    // the buttons below the fields.
    const QRect name = Field(d, "txtFileName")->geometry();
    EXPECT_LT(labels[0]->geometry().right(), name.left());
    EXPECT_GT(browse->geometry().left(), name.right());
    EXPECT_LT(std::abs(browse->geometry().center().y() - name.center().y()), name.height());
    for (int i = 1; i < 4; ++i)
      EXPECT_GT(labels[i]->geometry().top(), labels[i - 1]->geometry().top());
    EXPECT_GT(import->geometry().top(), sites->geometry().bottom());
    EXPECT_LT(import->geometry().left(), cancel->geometry().left());

    Click(d, "cmdCancel");
  });
  EXPECT_TRUE(prompts_.messages.empty());
  EXPECT_FALSE(window_->model().ModelLoaded);
}

// A blank field is told with the usual text, and focus goes to the first
// empty field so the user can fill it in at once.
TEST_F(ImportTest, EveryFieldMustBeFilled) {
  const std::string obj = WriteObj("tri.obj", kTriangle);
  struct Case {
    std::vector<const char*> emptied;
    const char* focus;
  };
  const Case cases[] = {
      {{"txtFileName"}, "txtFileName"},
      {{"txtFileDes"}, "txtFileDes"},
      {{"txtDefaultSkin"}, "txtDefaultSkin"},
      {{"txtDefaultSkin", "txtFileDes"}, "txtFileDes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.focus);
    prompts_.messages.clear();
    Import([&](frmImportOBJ& d) {
      Fill(d, obj, "part", "skin", "HEAD");
      for (const char* name : c.emptied) Field(d, name)->clear();
      Field(d, "txtDefaultSkin")->setFocus();
      Click(d, "cmdImport");
      EXPECT_TRUE(d.isVisible()) << "the dialog stays open";
      ASSERT_EQ(prompts_.messages.size(), 1u);
      EXPECT_EQ(prompts_.messages[0].text, "You cannot leave any blanks empty!");
      EXPECT_EQ(prompts_.messages[0].detail, "");
      EXPECT_EQ(d.focusWidget(), Field(d, c.focus));
      Click(d, "cmdCancel");
    });
    EXPECT_FALSE(window_->model().ModelLoaded);
    EXPECT_EQ(Label2(), "");
  }

  // A name of blanks is a name: nothing is trimmed.
  prompts_.messages.clear();
  ImportFile(obj, "HEAD", " ", "  skin ");
  EXPECT_TRUE(prompts_.messages.empty());
  ASSERT_TRUE(window_->model().ModelLoaded);
  EXPECT_EQ(window_->model().MeshName, " ");
  EXPECT_EQ(window_->model().TextureName, "  skin ");
  EXPECT_EQ(window_->model().BoneNames.at(0), "HEAD");
}

TEST_F(ImportTest, APathWithoutAFileIsToldAndTheDialogStaysOpen) {
  LoadSkin();
  const std::string mesh = window_->model().MeshName;
  std::filesystem::create_directories(dir_.path("folder.obj"));
  for (const std::string& path : {dir_.path("missing.obj"), dir_.path("folder.obj")}) {
    SCOPED_TRACE(path);
    prompts_.messages.clear();
    Import([&](frmImportOBJ& d) {
      Fill(d, path, "part", "skin", "ROOT");
      Click(d, "cmdImport");
      EXPECT_TRUE(d.isVisible());
      ASSERT_EQ(prompts_.messages.size(), 1u);
      EXPECT_NE(prompts_.messages[0].text.find(path), std::string::npos)
          << prompts_.messages[0].text;
      Click(d, "cmdCancel");
    });
    EXPECT_TRUE(window_->model().ModelLoaded);
    EXPECT_EQ(window_->model().MeshName, mesh);
    EXPECT_EQ(Label2(), skin_);
  }
}

TEST_F(ImportTest, CancelChangesNothing) {
  LoadSkin();
  const SkinModel& model = window_->model();
  const std::string mesh = model.MeshName;
  const int vertices = model.VertexCount;
  const std::string obj = WriteObj("tri.obj", kTriangle);

  Import([&](frmImportOBJ& d) {
    Fill(d, obj, "part", "skin", "HEAD");
    Click(d, "cmdCancel");
  });
  EXPECT_TRUE(prompts_.messages.empty());
  EXPECT_TRUE(prompts_.questions.empty());
  EXPECT_TRUE(model.ModelLoaded);
  EXPECT_TRUE(model.SaveAsProjectFirst);
  EXPECT_EQ(model.MeshName, mesh);
  EXPECT_EQ(model.VertexCount, vertices);
  EXPECT_EQ(Label2(), skin_);

  // The values stay for the next import.
  Import([&](frmImportOBJ& d) {
    EXPECT_EQ(Field(d, "txtFileName")->text().toStdString(), obj);
    EXPECT_EQ(Sites(d)->currentText(), "HEAD");
    Click(d, "cmdCancel");
  });
}

TEST_F(ImportTest, ValuesAreKeptBetweenImports) {
  const std::string obj = WriteObj("tri.obj", kTriangle);
  ImportFile(obj, "L_HAND", "glove", "glove_tex");
  ASSERT_TRUE(window_->model().ModelLoaded);
  for (int again = 0; again < 2; ++again) {
    Import([&](frmImportOBJ& d) {
      EXPECT_EQ(Field(d, "txtFileName")->text().toStdString(), obj);
      EXPECT_EQ(Field(d, "txtFileDes")->text(), "glove");
      EXPECT_EQ(Field(d, "txtDefaultSkin")->text(), "glove_tex");
      EXPECT_EQ(Sites(d)->currentText(), "L_HAND");
      EXPECT_EQ(Sites(d)->count(), 24) << "the list is filled once";
      Click(d, "cmdImport");
    });
    EXPECT_EQ(window_->model().MeshName, "glove");
  }
  EXPECT_EQ(window_->findChildren<frmImportOBJ*>().size(), 1);

  // Closing the dialog's window, rather than Cancel, forgets the values.
  Import([&](frmImportOBJ& d) { d.close(); });
  Import([&](frmImportOBJ& d) {
    EXPECT_EQ(Field(d, "txtFileName")->text(), "Text1");
    EXPECT_EQ(Field(d, "txtFileDes")->text(), "Text1");
    EXPECT_EQ(Field(d, "txtDefaultSkin")->text(), "Text1");
    EXPECT_EQ(Sites(d)->currentText(), "ROOT");
    Click(d, "cmdCancel");
  });
  EXPECT_EQ(window_->model().MeshName, "glove") << "closing imports nothing";
}

// Each time the dialog opens, typing replaces the path in File Name.
TEST_F(ImportTest, OpensWithThePathSelected) {
  const std::string obj = WriteObj("tri.obj", kTriangle);
  for (int time = 0; time < 2; ++time) {
    SCOPED_TRACE(time);
    Import([&](frmImportOBJ& d) {
      QLineEdit* name = Field(d, "txtFileName");
      EXPECT_EQ(d.focusWidget(), name);
      EXPECT_EQ(name->selectedText(), name->text());
      Field(d, "txtDefaultSkin")->setFocus();  // left elsewhere this time
      if (time == 0) {
        Type(d, "txtFileName", obj);
        Click(d, "cmdImport");
      } else {
        Click(d, "cmdCancel");
      }
    });
  }
}

TEST_F(ImportTest, BrowseButtonRemembersItsLastChoice) {
  Import([&](frmImportOBJ& d) {
    // Before any choice, a cancelled file dialog leaves the box alone.
    Type(d, "txtFileName", "typed.obj");
    Click(d, "Command1");
    EXPECT_EQ(Field(d, "txtFileName")->text(), "typed.obj");

    chooser_.choices.push_back(FileChoice{"/parts/hat.obj", -1});
    Click(d, "Command1");
    EXPECT_EQ(Field(d, "txtFileName")->text(), "/parts/hat.obj");
    // Names still at their first text take the file's base name.
    EXPECT_EQ(Field(d, "txtFileDes")->text(), "hat");
    EXPECT_EQ(Field(d, "txtDefaultSkin")->text(), "hat");
    EXPECT_FALSE(Field(d, "txtDefaultSkin")->toolTip().isEmpty());

    // Closing the file dialog without a choice brings the last choice back.
    Type(d, "txtFileName", "edited.obj");
    Click(d, "Command1");
    EXPECT_EQ(Field(d, "txtFileName")->text(), "/parts/hat.obj");
    // A name the user typed is kept.
    Type(d, "txtFileDes", "my hat");
    chooser_.choices.push_back(FileChoice{"/parts/cap.obj", -1});
    Click(d, "Command1");
    EXPECT_EQ(Field(d, "txtFileDes")->text(), "my hat");
    EXPECT_EQ(Field(d, "txtDefaultSkin")->text(), "hat");
    Click(d, "cmdCancel");
  });
  ASSERT_EQ(chooser_.calls.size(), 4u);
  for (const auto& call : chooser_.calls) {
    EXPECT_EQ(call.title, "Choose the OBJ File to Import");
    EXPECT_TRUE(call.save) << "the save form: the file is only named here";
    EXPECT_FALSE(call.confirm_replace) << "no question about replacing the file to be read";
    EXPECT_TRUE(call.filters.empty());
  }
  EXPECT_EQ(chooser_.calls[0].proposed, "");
  EXPECT_EQ(chooser_.calls[2].proposed, "/parts/hat.obj");
}

// An imported part is on no disk: before anything would drop it, the
// window offers to save it (Cancel the default keeps it); a model read from
// a file and not changed goes without a question.
TEST_F(ImportTest, AnUnsavedPartIsOfferedForSavingBeforeItIsLost) {
  LoadSkin();
  const std::string obj = WriteObj("hat.obj", kTriangle);
  using Keep = Prompts::Keep;
  const struct {
    const char* what;
    Keep answer;
    std::function<void()> act;
    bool part_kept;
  } cases[] = {
      {"Open, cancelled", Keep::Cancel, [&] { LoadSkin(); }, true},
      {"Open, discarded", Keep::Discard, [&] { LoadSkin(); }, false},
      {"Import OBJ, cancelled", Keep::Cancel, [&] { window_->findChild<QAction*>("mnuImportOBJ")->trigger(); }, true},
      {"drop, discarded", Keep::Discard, [&] { window_->OpenPath(skin_); }, false},
      {"close, cancelled", Keep::Cancel, [&] { window_->show(); EXPECT_FALSE(window_->close()); }, true},
      {"close, saved first", Keep::Save,
       [&] {
         chooser_.choices.push_back(FileChoice{dir_.path("hat.skn"), 1});
         window_->show();
         EXPECT_TRUE(window_->close());
         EXPECT_TRUE(std::filesystem::exists(dir_.path("hat.skn")));
       },
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ImportFile(obj, "ROOT", "hat", "hat_skin");
    ASSERT_EQ(window_->model().MeshName, "hat");
    prompts_.save_questions.clear();
    prompts_.keep_answers = {c.answer};
    c.act();
    EXPECT_EQ(prompts_.save_questions, std::vector<std::string>{"Save the imported part hat?"});
    EXPECT_EQ(window_->model().MeshName == "hat", c.part_kept);
  }
  // Saved, or read from a file: nothing to ask.
  prompts_.save_questions.clear();
  LoadSkin();
  window_->show();
  EXPECT_TRUE(window_->close());
  EXPECT_TRUE(prompts_.save_questions.empty());
}

TEST_F(ImportTest, ASuccessfulImportIsTheLoadedModel) {
  LoadSkin();
  const std::string obj = WriteObj("tri.obj", kTriangle);
  ImportFile(obj, "ROOT", "part", "part_skin");
  const SkinModel& model = window_->model();
  EXPECT_TRUE(prompts_.messages.empty());
  EXPECT_EQ(Label2(), obj);
  EXPECT_TRUE(model.ModelLoaded);
  EXPECT_FALSE(model.SaveAsProjectFirst);
  EXPECT_EQ(model.MeshName, "part");
  EXPECT_EQ(model.TextureName, "part_skin");
  EXPECT_EQ(model.BoneCount, 1);
  EXPECT_EQ(model.BoneNames.at(0), "ROOT");
  EXPECT_EQ(model.BindingLines.at(0), "0 0 3 -1 0");
  EXPECT_EQ(model.VertexCount, 3);
  EXPECT_EQ(model.FaceCount, 1);
  EXPECT_EQ(model.FaceLines.at(0), "0 1 2");
  EXPECT_EQ(model.BlendCount, 0);

  // Save As now proposes skins first.
  chooser_.choices.push_back(std::nullopt);
  window_->findChild<QAction*>("mnuSave")->trigger();
  ASSERT_FALSE(chooser_.calls.empty());
  ASSERT_FALSE(chooser_.calls.back().filters.empty());
  EXPECT_EQ(chooser_.calls.back().filters[0].description, "TheSims Skins (*.skn)");
}

TEST_F(ImportTest, BlenderPartsImport) {
  const char* parts[] = {"torus_quads.obj", "cone_ngon.obj", "icosphere_tris.obj"};
  const char* sites[] = {"L_ARM1", "R_LEG", "HEAD"};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(parts[i]);
    const std::string path = Fixture(parts[i]);
    if (path.empty()) GTEST_SKIP() << "no Blender samples found";
    ImportFile(path, sites[i]);
    EXPECT_TRUE(prompts_.messages.empty());
    EXPECT_TRUE(prompts_.questions.empty());
    EXPECT_TRUE(window_->model().ModelLoaded);
    EXPECT_EQ(window_->model().BoneNames.at(0), sites[i]);
    EXPECT_GT(window_->model().FaceCount, 0);
    EXPECT_EQ(Label2(), path);
  }
}

// A failed import is told by the core; the model, its label and the preview
// stay as they were. An OBJ without normals says how to export one with them.
TEST_F(ImportTest, AFailedImportKeepsTheModel) {
  std::string too_many;
  for (int i = 0; i < 32000; ++i) too_many += "v 0 0 0\n";
  struct Case {
    const char* what;
    std::string text;
    std::string message;
    std::string detail;  // a part of it
  };
  const Case cases[] = {
      // As Blender writes a mesh with Normals unticked, with and without UVs.
      {"no normals", "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nf 1/1 2/1 3/1\n", ErrorMessage(5),
       "the file has no normals. In Blender, export it again with Normals"},
      {"no normals or UVs", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", ErrorMessage(5),
       "the file has no normals. In Blender, export it again with Normals"},
      {"32000 vertices", too_many, LimitMessage(FailureKind::VertexLimit), "bad.obj"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LoadSkin();
    const SkinModel before = window_->model();
    const int triangles = window_->preview()->TriangleCount();
    prompts_.messages.clear();
    const std::string obj = WriteObj("bad.obj", c.text);
    std::string label_when_told;
    prompts_.on_call = [&] { label_when_told = Label2(); };
    ImportFile(obj);
    prompts_.on_call = nullptr;
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0].text, c.message);
    EXPECT_NE(prompts_.messages[0].detail.find(c.detail), std::string::npos)
        << prompts_.messages[0].detail;
    EXPECT_EQ(label_when_told, skin_) << "the label names only a file that was read";
    EXPECT_EQ(Label2(), skin_);
    EXPECT_TRUE(window_->model().ModelLoaded);
    EXPECT_EQ(window_->model().VertexCount, before.VertexCount);
    EXPECT_EQ(window_->model().MeshName, before.MeshName);
    EXPECT_EQ(window_->preview()->TriangleCount(), triangles);
  }
}

// Each import decides about its own normals: a broken file is asked about
// every time, with its own answer, and a sound file never is, whatever an
// earlier import was told.
class NormalsQuestionTest : public ImportTest, public ::testing::WithParamInterface<bool> {};

TEST_P(NormalsQuestionTest, IsAskedForEveryImportThatNeedsIt) {
  const bool fix = GetParam();
  const std::string obj = WriteObj("fix.obj", kNeedsNormalFix);
  for (int import = 0; import < 2; ++import) {
    SCOPED_TRACE(import);
    // The second import answers the other way, and must get its own result.
    const bool answer = import == 0 ? fix : !fix;
    prompts_.answers.push_back(answer);
    ImportFile(obj);
    ASSERT_EQ(prompts_.questions.size(), static_cast<std::size_t>(import + 1));
    EXPECT_EQ(prompts_.questions.back(), std::string(kInvalidNormalsTitle) + ": " + kInvalidNormalsQuestion);
    EXPECT_TRUE(prompts_.messages.empty());
    const SkinModel& model = window_->model();
    ASSERT_TRUE(model.ModelLoaded);
    EXPECT_EQ(model.NormalLines.at(0), answer ? kNormalA : kNormalC);
    EXPECT_EQ(model.NormalLines.at(2), answer ? kNormalC : kNormalA);
  }

  // A Blender part after them comes in exactly as it does in a fresh window.
  const std::string torus = Fixture("torus_quads.obj");
  if (torus.empty()) GTEST_SKIP() << "no Blender samples found";
  ImportFile(torus);
  EXPECT_EQ(prompts_.questions.size(), 2u);
  EXPECT_TRUE(prompts_.messages.empty());
  ASSERT_TRUE(window_->model().ModelLoaded);
  SkinModel fresh;
  FakePrompts prompts;
  ASSERT_EQ(ImportObjPart(fresh, prompts, {torus, "part", "part_skin", "ROOT"}), Outcome::Succeeded);
  ASSERT_GT(fresh.VertexCount, 0);
  for (int i = 0; i < fresh.VertexCount; ++i)
    ASSERT_EQ(window_->model().NormalLines.at(i), fresh.NormalLines.at(i)) << i;
}

INSTANTIATE_TEST_SUITE_P(Answers, NormalsQuestionTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Yes" : "No"; });

}  // namespace
}  // namespace mervane
