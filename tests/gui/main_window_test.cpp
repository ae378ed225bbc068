#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QListWidget>
#include <QApplication>
#include <QWheelEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QImage>
#include <QVBoxLayout>
#include <QVector3D>
#include <cmath>
#include <memory>

#include "archive/far.h"
#include "character_files.h"
#include "formats/formats.h"
#include "gui_support.h"
#include "model/failure.h"
#include "model/paths.h"
#include "model/version.h"
#include "shell/character_panel.h"
#include "shell/command_line.h"
#include "shell/elided_label.h"
#include "shell/main_window.h"
#include "shell/path_text.h"
#include "shell/preview_widget.h"
#include "shell/uv_layout_view.h"
#include "shell/settings.h"
#include "shell/wait_window.h"
#include "skn/skn.h"

namespace mervane {
namespace {

using guitest::FakeChooser;
using guitest::FakePrompts;
using guitest::Fixture;
using guitest::TempDir;

// Counts the wait window's show and hide events, wherever they come from.
class WaitWatcher : public QObject {
 public:
  WaitWatcher() { qApp->installEventFilter(this); }
  ~WaitWatcher() override { qApp->removeEventFilter(this); }
  bool eventFilter(QObject* object, QEvent* event) override {
    if (object->isWidgetType() && object->objectName() == "frmWait") {
      if (event->type() == QEvent::Show) ++shows;
      if (event->type() == QEvent::Hide) ++hides;
    }
    return false;
  }
  int shows = 0;
  int hides = 0;
};

std::vector<std::string> Descriptions(const FilterList& filters) {
  std::vector<std::string> out;
  for (const FileFilter& f : filters) out.push_back(f.description);
  return out;
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    skin_ = Fixture("mannequin.skn");
    if (skin_.empty()) skin_ = Fixture("sample.skn");
    if (skin_.empty()) GTEST_SKIP() << "no sample skin found";
    window_ = std::make_unique<frmMain>(command_path_, &chooser_, &prompts_);
  }

  QAction* Action(const char* name) {
    auto* action = window_->findChild<QAction*>(name);
    EXPECT_NE(action, nullptr) << name;
    return action;
  }
  std::string Label2() const {
    return window_->centralWidget()->findChild<QLabel*>("Label2")->text().toStdString();
  }
  void Choose(const std::string& path, int filter = 0) {
    chooser_.choices.push_back(FileChoice{path, filter});
  }
  void OpenFile(const std::string& path) {
    Choose(path);
    Action("mnuOpen")->trigger();
  }
  frmWait* Wait() const { return window_->findChild<frmWait*>("frmWait"); }

  std::string command_path_;
  std::string skin_;
  FakeChooser chooser_;
  FakePrompts prompts_;
  std::unique_ptr<frmMain> window_;
};

TEST_F(MainWindowTest, TitleLabelsAndFileMenu) {
  EXPECT_EQ(window_->objectName(), "frmMain");
  EXPECT_EQ(window_->windowTitle(), "Mervane by Quenlow v1.013");
  auto* central = window_->centralWidget();
  EXPECT_EQ(central->findChild<QLabel*>("Label1")->text(), "File Open:");
  EXPECT_EQ(Label2(), "");

  // The file labels sit at the top of the central layout, the preview below.
  QLayout* top = central->layout()->itemAt(0)->layout();
  ASSERT_NE(top, nullptr);
  EXPECT_GE(top->indexOf(central->findChild<QLabel*>("Label1")), 0);
  EXPECT_GE(top->indexOf(central->findChild<QLabel*>("Label2")), 0);

  // The 3-D view, with the UV layout beside it.
  const auto* views = qobject_cast<QSplitter*>(central->layout()->itemAt(1)->widget());
  ASSERT_NE(views, nullptr);
  EXPECT_EQ(views->widget(0), window_->preview());
  EXPECT_EQ(views->widget(1), window_->uv_layout());
  const QList<QAction*> bar = window_->menuBar()->actions();
  ASSERT_EQ(bar.size(), 3);  // File, View, Help
  QMenu* file = bar[0]->menu();
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->objectName(), "mnuFile");
  EXPECT_EQ(file->title(), "&File");

  // The keys users expect; the saves are greyed out until there is a
  // model. An item that opens a dialog ends in "…".
  struct Item {
    const char* name;
    const char* caption;
    bool separator;
    const char* key;
    bool enabled;
  };
  const Item expected[] = {{"mnuOpen", "&Open…", false, "Ctrl+O", true},
                           {"mnuRecent", "Recent &Files", false, "", true},
                           {"mnuSaveFile", "&Save", false, "Ctrl+S", false},
                           {"mnuSave", "Save &As…", false, "Ctrl+Shift+S", false},
                           {"mnuImportOBJ", "&Import OBJ…", false, "Ctrl+I", true},
                           {"mnuGameFolder", "&Game Folder\u2026", false, "", true},
                           // greyed out until a game folder is indexed
                           {"mnuOpenFromGame", "Open &from Game\u2026", false, "Ctrl+G", false},
                           // greyed out until a model is loaded
                           {"mnuPublish", "&Publish to Game\u2026", false, "", false},
                           {"mnuCheckGame", "&Check Game Folder\u2026", false, "", true},
                           {"mnuExportCharacter", "&Export Character\u2026", false, "", true},
                           {"mnuExportSkills", "Export S&kills\u2026", false, "", true},
                           {"mnuExportTemplate", "Export &Texture Template\u2026", false, "", true},
                           {"mnuSep", "", true, "", true},
                           {"mnuExit", "E&xit", false, "Ctrl+Q", true}};
  const QList<QAction*> items = file->actions();
  ASSERT_EQ(items.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(items[i]->objectName(), expected[i].name);
    EXPECT_EQ(items[i]->isSeparator(), expected[i].separator);
    if (!expected[i].separator) {
      EXPECT_EQ(items[i]->text(), expected[i].caption);
      EXPECT_EQ(items[i]->shortcut().toString(), expected[i].key);
      EXPECT_EQ(items[i]->isEnabled(), expected[i].enabled);
      EXPECT_FALSE(items[i]->statusTip().isEmpty());
    }
  }
  EXPECT_FALSE(Action("mnuTexture")->isEnabled()) << "no model to show a texture on";
  EXPECT_EQ(window_->preview()->Hint(), PreviewWidget::kHint);
  EXPECT_FALSE(window_->model().ModelLoaded);
  EXPECT_EQ(Wait(), nullptr) << "the wait window is made on first use";
}

// The View menu as a first run shows it: its order, keys, and which items
// are switches and how they start.
TEST_F(MainWindowTest, ViewMenuKeysAndSwitches) {
  std::filesystem::remove(std::filesystem::path(PathFromQt(SettingsFile())));
  window_ = std::make_unique<frmMain>("", &chooser_, &prompts_);
  window_->show();
  QMenu* view = window_->menuBar()->actions()[1]->menu();
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->title(), "&View");
  struct Item {
    const char* name;  // empty: a separator
    const char* caption = "";
    const char* key = "";
    bool checkable = false;
    bool checked = false;
  };
  const Item expected[] = {{"mnuOverlay", "&Wireframe and Bones", "W", true, true},
                           {"mnuUvLayout", "&UV Layout", "U", true, false},
                           {"", "", "", false, false},
                           {"mnuGamePose", "&Game Pose", "G", true, true},
                           {"mnuModellingPose", "&Modelling Pose", "M", true, false},
                           {"", "", "", false, false},
                           {"mnuFrameAll", "&Frame All", "F", false, false},
                           {"mnuFront", "F&ront", "1", false, false},
                           {"mnuSide", "&Side", "3", false, false},
                           {"mnuTop", "&Top", "7", false, false},
                           {"", "", "", false, false},
                           {"mnuTexture", "Te&xture\u2026", "", false, false},
                           {"", "", "", false, false},
                           {"mnuCharacterPanel", "&Character Panel", "", true, true},
                           {"mnuSeams", "S&eams", "", true, false},
                           {"mnuPlay", "&Play/Pause", "Space", false, false},
                           {"mnuFollowFiles", "Follow Files on &Disk", "", true, true}};
  const QList<QAction*> items = view->actions();
  ASSERT_EQ(items.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(i);
    const Item& e = expected[i];
    EXPECT_EQ(items[i]->isSeparator(), *e.name == '\0');
    if (*e.name == '\0') continue;
    EXPECT_EQ(items[i]->objectName(), e.name);
    EXPECT_EQ(items[i]->text(), QString::fromUtf8(e.caption));
    EXPECT_EQ(items[i]->shortcut().toString(), e.key);
    EXPECT_EQ(items[i]->isCheckable(), e.checkable);
    EXPECT_EQ(items[i]->isChecked(), e.checked);
    EXPECT_FALSE(items[i]->statusTip().isEmpty());
  }
  EXPECT_EQ(window_->preview()->Overlay(), Action("mnuOverlay")->isChecked());
  EXPECT_FALSE(window_->uv_layout()->isVisible());
  EXPECT_TRUE(window_->character_panel()->isVisible());
}

// View > Front, Side and Top each look along their own axis at the model.
TEST_F(MainWindowTest, EachViewLooksAlongItsAxis) {
  OpenFile(skin_);
  const struct {
    const char* action;
    QVector3D along;  // the camera's forward, up to its sign
  } views[] = {{"mnuTop", {0, 1, 0}}, {"mnuSide", {1, 0, 0}}, {"mnuFront", {0, 0, 1}}};
  const PreviewWidget& preview = *window_->preview();
  for (const auto& view : views) {
    Action(view.action)->trigger();
    EXPECT_NEAR(std::abs(QVector3D::dotProduct(preview.Camera().Forward(), view.along)), 1.0f, 1e-3f)
        << view.action;
  }
  // Frame All undoes a zoom with the wheel.
  const float framed = preview.Camera().distance();
  QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, 360), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(window_->preview(), &wheel);
  ASSERT_LT(preview.Camera().distance(), framed * 0.9f);
  Action("mnuFrameAll")->trigger();
  EXPECT_FLOAT_EQ(preview.Camera().distance(), framed);
}

TEST_F(MainWindowTest, ExitAndCloseAreNeverRefused) {
  window_->show();
  ASSERT_TRUE(window_->isVisible());
  Action("mnuExit")->trigger();
  EXPECT_FALSE(window_->isVisible());

  window_->show();
  EXPECT_TRUE(window_->close());
  EXPECT_FALSE(window_->isVisible());
}

TEST_F(MainWindowTest, SaveAsDoesNothingBeforeAModelExists) {
  Action("mnuSave")->trigger();
  EXPECT_TRUE(chooser_.calls.empty());

  // Nor after a read that failed; the item stays greyed out until one works.
  TempDir dir;
  guitest::WriteFile(dir.path("short.skn"), "mesh\r\ntexture\r\n");
  OpenFile(dir.path("short.skn"));
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_FALSE(window_->model().ModelLoaded);
  EXPECT_FALSE(Action("mnuSave")->isEnabled());
  Action("mnuSave")->trigger();
  EXPECT_EQ(chooser_.calls.size(), 1u) << "only the Open dialog was shown";
  EXPECT_TRUE(dir.Listing() == std::vector<std::string>{"short.skn"});
  OpenFile(skin_);
  for (const char* name : {"mnuSave", "mnuTexture", "mnuPublish"}) EXPECT_TRUE(Action(name)->isEnabled()) << name;
}

// An export that lacks what it is made from says what to do, asking for no file.
TEST_F(MainWindowTest, ExportsSayWhatTheyLack) {
  const struct {
    bool model;
    const char* action;
    const char* status;
  } rows[] = {{false, "mnuExportTemplate", "Export Texture Template needs a model: open a skin first"},
              {true, "mnuExportCharacter", "Export Character needs a skeleton: choose one in the Character panel"}};
  for (const auto& row : rows) {
    if (row.model) OpenFile(skin_);
    const std::size_t asked = chooser_.calls.size();
    Action(row.action)->trigger();
    EXPECT_EQ(window_->statusBar()->currentMessage().toStdString(), row.status);
    EXPECT_EQ(chooser_.calls.size(), asked);
  }
}

TEST_F(MainWindowTest, FileDialogsListTheirTypesInOrder) {
  OpenFile(skin_);
  ASSERT_EQ(chooser_.calls.size(), 1u);
  EXPECT_FALSE(chooser_.calls[0].save);
  // Each dialog's title says what it is for.
  EXPECT_EQ(chooser_.calls[0].title, "Open a Skin, Binary Mesh, Skin Project or glTF");
  EXPECT_EQ(Descriptions(chooser_.calls[0].filters),
            (std::vector<std::string>{"Skin and Project Files (*.skn,*.spj,*.bmf,*.glb,*.gltf)",
                                      "Skin Project Files (*.spj)", "TheSims Skin Files (*.skn)",
                                      "TheSims Binary Mesh Files (*.bmf)", "glTF Files (*.glb *.gltf)",
                                      "All files (*.*)"}));
  ASSERT_TRUE(window_->model().ModelLoaded);

  // After a skin was read, projects come first; after a project, skins.
  TempDir dir;
  Choose(dir.path("body.spj"), 0);
  Action("mnuSave")->trigger();
  ASSERT_EQ(chooser_.calls.size(), 2u);
  EXPECT_TRUE(chooser_.calls[1].save);
  EXPECT_EQ(chooser_.calls[1].title, "Save the Model As a Skin Project or Skin");
  EXPECT_EQ(Descriptions(chooser_.calls[1].filters),
            (std::vector<std::string>{"Skin Project Files (*.spj)", "TheSims Skins (*.skn)",
                                      "TheSims Binary Meshes (*.bmf)", "glTF Binary Files (*.glb)",
                                      "All files (*.*)"}));
  ASSERT_TRUE(prompts_.messages.empty());

  OpenFile(dir.path("body.spj"));
  ASSERT_TRUE(window_->model().ModelLoaded);
  chooser_.choices.push_back(std::nullopt);
  Action("mnuSave")->trigger();
  ASSERT_EQ(chooser_.calls.size(), 4u);
  EXPECT_EQ(Descriptions(chooser_.calls[3].filters),
            (std::vector<std::string>{"TheSims Skins (*.skn)", "Skin Project Files (*.spj)",
                                      "TheSims Binary Meshes (*.bmf)", "glTF Binary Files (*.glb)",
                                      "All files (*.*)"}));
  EXPECT_TRUE(prompts_.messages.empty());
}

TEST(CommandLinePathTest, QuotesComeOffOnlyAsAPair) {
  struct Case {
    QStringList arguments;
    std::string path;
  };
  const Case cases[] = {
      {{"\"C:\\Skins\\body.skn\""}, "C:\\Skins\\body.skn"},
      {{"body.skn"}, "body.skn"},
      {{"C:\\a.skn"}, "C:\\a.skn"},
      {{"\"body.skn"}, "\"body.skn"},
      {{"body.skn\""}, "body.skn\""},
      {{"\" body.skn \""}, "body.skn"},
      {{"  /skins/body.skn  "}, "/skins/body.skn"},
      {{"\"\""}, ""},
      {{"\""}, "\""},
      {{"/my", "skins/body.skn"}, "/my skins/body.skn"},
      {{}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments.join('|').toStdString());
    EXPECT_EQ(CommandLinePath(c.arguments), c.path);
  }
}

class CommandLineWindowTest : public MainWindowTest {
 protected:
  void SetUp() override {
    const std::string skin = Fixture("mannequin.skn").empty() ? Fixture("sample.skn")
                                                              : Fixture("mannequin.skn");
    command_path_ = CommandLinePath({QString::fromStdString("\"" + skin + "\"")});
    MainWindowTest::SetUp();
  }
};

TEST_F(CommandLineWindowTest, FirstOpenTakesThePathAndLaterOnesAsk) {
  EXPECT_EQ(window_->model().CommandFile, skin_);
  EXPECT_FALSE(window_->model().ModelLoaded) << "nothing is opened at start";
  // The empty view says how to open the waiting file, until Open takes it.
  EXPECT_EQ(window_->preview()->Hint(),
            "Press Ctrl+O (File > Open) to open " + QString::fromStdString(FileNameOf(skin_)));

  Action("mnuOpen")->trigger();
  EXPECT_EQ(window_->preview()->Hint(), PreviewWidget::kHint);
  EXPECT_TRUE(chooser_.calls.empty());
  EXPECT_EQ(Label2(), skin_);
  EXPECT_TRUE(window_->model().ModelLoaded);
  EXPECT_EQ(window_->model().CommandFile, "");
  const std::string mesh = window_->model().MeshName;

  // The second Open asks; cancelling it leaves everything as it was.
  Action("mnuOpen")->trigger();
  ASSERT_EQ(chooser_.calls.size(), 1u);
  EXPECT_FALSE(chooser_.calls[0].save);
  EXPECT_EQ(Label2(), skin_);
  EXPECT_TRUE(window_->model().ModelLoaded);
  EXPECT_EQ(window_->model().MeshName, mesh);
  EXPECT_TRUE(prompts_.messages.empty());
}

TEST(CommandLineMissingFileTest, IsErrorFiftyThree) {
  FakeChooser chooser;
  FakePrompts prompts;
  TempDir dir;
  frmMain window(dir.path("missing.skn"), &chooser, &prompts);
  window.findChild<QAction*>("mnuOpen")->trigger();
  EXPECT_TRUE(chooser.calls.empty());
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].text, ErrorMessage(53));
  EXPECT_NE(prompts.messages[0].detail.find("missing.skn"), std::string::npos)
      << prompts.messages[0].detail;
  EXPECT_EQ(window.centralWidget()->findChild<QLabel*>("Label2")->text(), "");
  EXPECT_FALSE(window.model().ModelLoaded);
}

TEST_F(MainWindowTest, OpenChoosesTheReaderByTheFileNamesExtension) {
  TempDir dir;
  const std::string text = guitest::ReadFile(skin_);
  std::filesystem::create_directories(dir.path("My.Skins"));
  struct Case {
    std::string name;
    bool reads;
  };
  const Case cases[] = {
      {"My.Skins/body.skn", true},   // a "." in a folder name does not count
      {"BODY.SKN", true},            // nor does the case of the extension
      {"body.txt", false},
      {"body.skn.bak", false},
      {"body", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    guitest::WriteFile(dir.path(c.name), text);
    prompts_.messages.clear();
    window_ = std::make_unique<frmMain>("", &chooser_, &prompts_);
    OpenFile(dir.path(c.name));
    EXPECT_EQ(window_->model().ModelLoaded, c.reads);
    if (c.reads) {
      EXPECT_TRUE(prompts_.messages.empty());
      EXPECT_EQ(Label2(), dir.path(c.name));
    } else {
      ASSERT_EQ(prompts_.messages.size(), 1u);
      EXPECT_EQ(prompts_.messages[0].text, NeedsKnownExtensionMessage());
      EXPECT_NE(prompts_.messages[0].detail.find(dir.path(c.name)), std::string::npos);
      EXPECT_EQ(Label2(), "");
      EXPECT_EQ(Wait(), nullptr) << "no wait window for a file that is not read";
    }
  }
}

TEST_F(MainWindowTest, AnOpenThatIsRefusedKeepsTheLoadedModel) {
  OpenFile(skin_);
  ASSERT_TRUE(window_->model().ModelLoaded);
  const std::string mesh = window_->model().MeshName;
  OpenFile("/somewhere/part.txt");
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_TRUE(window_->model().ModelLoaded);
  EXPECT_EQ(window_->model().MeshName, mesh);
  EXPECT_EQ(Label2(), skin_);

  chooser_.choices.push_back(std::nullopt);  // cancelled: not a word
  Action("mnuOpen")->trigger();
  EXPECT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(Label2(), skin_);
}

TEST_F(MainWindowTest, SaveAsTakesTheSelectedTypesExtension) {
  OpenFile(skin_);
  ASSERT_TRUE(window_->model().SaveAsProjectFirst);  // filters: spj, skn, bmf, glb, all
  struct Case {
    std::string name;
    int filter;
    std::vector<std::string> written;  // empty: refused with the short message
  };
  const std::vector<Case> cases = {
      {"out", 0, {"out.mtl", "out.obj", "out.spj"}},
      {"out", 1, {"out.skn"}},
      {"out.", 1, {"out.skn"}},
      {"out.SKN", 0, {"out.SKN"}},
      {"out.spj", 1, {"out.mtl", "out.obj", "out.spj"}},
      {"out", 2, {"out.bmf"}},
      {"out", 3, {"out.glb"}},
      {"out", 4, {}},
      {"out.obj", 1, {}},
      {"my.parts/out", 1, {"out.skn"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name + " with filter " + std::to_string(c.filter));
    TempDir dir;
    const bool in_folder = c.name.find('/') != std::string::npos;
    if (in_folder) std::filesystem::create_directories(dir.path("my.parts"));
    prompts_.messages.clear();
    Choose(dir.path(c.name), c.filter);
    Action("mnuSave")->trigger();
    const std::vector<std::string> written =
        in_folder ? guitest::Names(dir.path("my.parts")) : dir.Listing();
    EXPECT_EQ(written, c.written);
    if (c.written.empty()) {
      ASSERT_EQ(prompts_.messages.size(), 1u);
      EXPECT_EQ(prompts_.messages[0].text, NeedsKnownExtensionMessage());
    } else {
      EXPECT_TRUE(prompts_.messages.empty());
    }
    EXPECT_TRUE(window_->model().ModelLoaded);
  }
  // A cancelled dialog writes nothing and says nothing.
  prompts_.messages.clear();
  chooser_.choices.push_back(std::nullopt);
  Action("mnuSave")->trigger();
  EXPECT_TRUE(prompts_.messages.empty());
}

TEST_F(MainWindowTest, SavedSkinMatchesTheFileItWasReadFrom) {
  OpenFile(skin_);
  TempDir dir;
  Choose(dir.path("copy"), 1);
  Action("mnuSave")->trigger();
  ASSERT_TRUE(prompts_.messages.empty());
  // The reader rewrites numbers with six decimals; a second round must not
  // change a byte.
  frmMain again("", &chooser_, &prompts_);
  Choose(dir.path("copy.skn"));
  again.findChild<QAction*>("mnuOpen")->trigger();
  Choose(dir.path("copy2.skn"), 1);
  again.findChild<QAction*>("mnuSave")->trigger();
  ASSERT_TRUE(prompts_.messages.empty());
  EXPECT_EQ(guitest::ReadFile(dir.path("copy.skn")), guitest::ReadFile(dir.path("copy2.skn")));
}

// Every read and write happens with the wait window up, and it is down again
// afterwards, whatever the outcome; it is one window, made once.
TEST_F(MainWindowTest, WaitWindowIsUpExactlyWhileAFileIsReadOrWritten) {
  TempDir dir;
  guitest::WriteFile(dir.path("short.skn"), "mesh\r\ntexture\r\n");
  const std::string cube = Fixture("cube.spj");

  struct Step {
    std::string what;
    std::function<void()> run;
    bool fails;
  };
  const std::vector<Step> steps = {
      {"open a skin", [&] { OpenFile(skin_); }, false},
      {"save a project", [&] { Choose(dir.path("p.spj")); Action("mnuSave")->trigger(); }, false},
      {"save a skin", [&] { Choose(dir.path("s.skn")); Action("mnuSave")->trigger(); }, false},
      {"open a project", [&] { OpenFile(dir.path("p.spj")); }, false},
      {"save a skin into no folder",
       [&] { Choose(dir.path("none/s.skn")); Action("mnuSave")->trigger(); }, true},
      {"open a short skin", [&] { OpenFile(dir.path("short.skn")); }, true},
      {"open a missing project", [&] { OpenFile(dir.path("missing.spj")); }, true},
      {"open a skin again", [&] { OpenFile(skin_); }, false},
      {"save a project into no folder",
       [&] { Choose(dir.path("none/p.spj")); Action("mnuSave")->trigger(); }, true},
  };

  std::vector<bool> visible_when_told;
  prompts_.on_call = [&] { visible_when_told.push_back(Wait() && Wait()->isVisible()); };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    WaitWatcher watch;
    visible_when_told.clear();
    const std::string label = Label2();
    step.run();
    EXPECT_EQ(watch.shows, 1);
    EXPECT_EQ(watch.hides, 1);
    ASSERT_NE(Wait(), nullptr);
    EXPECT_FALSE(Wait()->isVisible());
    EXPECT_TRUE(window_->model().ModelLoaded) << "a failure keeps the model it did not replace";
    if (step.fails) {
      ASSERT_EQ(visible_when_told.size(), 1u);
      EXPECT_TRUE(visible_when_told[0]) << "the failure is told while the wait window is up";
      EXPECT_EQ(Label2(), label);
    } else {
      EXPECT_TRUE(visible_when_told.empty());
    }
  }
  EXPECT_EQ(window_->findChildren<frmWait*>().size(), 1);
  EXPECT_EQ(Wait()->windowTitle(), "Please Wait.");
  EXPECT_EQ(Wait()->findChild<QLabel*>("Label1")->text(), "Please Wait.  Processing File(s)");
  EXPECT_FALSE(Wait()->isModal());

  if (!cube.empty()) {
    // A project whose vertices no longer pair with its bones fails while
    // the wait window is up.
    WaitWatcher watch;
    visible_when_told.clear();
    OpenFile(cube);
    EXPECT_EQ(watch.shows, 1);
    EXPECT_EQ(watch.hides, 1);
    ASSERT_FALSE(visible_when_told.empty());
    EXPECT_TRUE(visible_when_told.back());
  }
}

}  // namespace
}  // namespace mervane

namespace mervane {
namespace {

class DropTest : public MainWindowTest {
 protected:
  // Drags files over the window and drops them if the window takes them.
  // The command runs once events are processed after the drop.
  bool Drop(const std::vector<std::string>& paths) { return guitest::Drop(*window_, paths); }
};

TEST_F(DropTest, ASkinOrProjectOpensAsFileOpenWould) {
  TempDir dir;
  {
    // A project of the same skin, written by File > Save As.
    OpenFile(skin_);
    Choose(dir.path("p.spj"));
    Action("mnuSave")->trigger();
  }
  for (const std::string& path : {skin_, dir.path("p.spj")}) {
    SCOPED_TRACE(path);
    window_ = std::make_unique<frmMain>("", &chooser_, &prompts_);
    WaitWatcher watcher;
    ASSERT_TRUE(Drop({path}));
    QCoreApplication::processEvents();
    EXPECT_EQ(Label2(), path);
    EXPECT_TRUE(window_->model().ModelLoaded);
    EXPECT_EQ(watcher.shows, 1);
    EXPECT_EQ(watcher.hides, 1);
    EXPECT_TRUE(window_->preview()->HasModel());
    EXPECT_TRUE(chooser_.calls.empty() || chooser_.calls.back().save) << "no file dialog for a drop";
  }
  EXPECT_TRUE(prompts_.messages.empty());
}

TEST_F(DropTest, AnObjOpensTheImportDialogWithItsPath) {
  const std::string obj = Fixture("torus_quads.obj");
  ASSERT_FALSE(obj.empty());
  std::string shown, name;
  ASSERT_TRUE(Drop({obj}));
  guitest::WhenModal([&](QDialog& dialog) {
    shown = dialog.findChild<QLineEdit*>("txtFileName")->text().toStdString();
    name = dialog.findChild<QLineEdit*>("txtFileDes")->text().toStdString();
    dialog.findChild<QPushButton*>("cmdImport")->click();
  });
  QCoreApplication::processEvents();
  EXPECT_EQ(shown, obj);
  EXPECT_EQ(name, "torus_quads");
  EXPECT_EQ(window_->model().MeshName, "torus_quads");
  EXPECT_TRUE(window_->model().ModelLoaded);
  EXPECT_EQ(Label2(), obj);
  EXPECT_EQ(window_->preview()->TriangleCount(), 256);
}

TEST_F(DropTest, OtherFilesAreRefused) {
  TempDir dir;
  guitest::WriteFile(dir.path("notes.txt"), "x");
  EXPECT_FALSE(Drop({dir.path("notes.txt")}));
  EXPECT_FALSE(Drop({dir.path("skin.bmp")})) << "no model to show a bitmap on";
  EXPECT_FALSE(Drop({skin_, skin_}));  // one file at a time
  EXPECT_FALSE(Drop({}));
  EXPECT_FALSE(window_->model().ModelLoaded);
  EXPECT_EQ(Label2(), "");
}

// A read or save that fails has told the user why; the model it did not
// replace, its label, the preview and Save As all stay as they were.
TEST_F(MainWindowTest, AFailedReadOrSaveKeepsWhatWasShown) {
  EXPECT_FALSE(window_->preview()->HasModel());
  OpenFile(skin_);
  ASSERT_TRUE(window_->preview()->HasModel());
  const SkinModel before = window_->model();
  const int triangles = window_->preview()->TriangleCount();
  TempDir dir;
  guitest::WriteFile(dir.path("short.skn"), "mesh\r\n");
  struct Case {
    const char* what;
    std::string path;
    bool save;
    std::string message;
    std::string detail;  // a part of the detail
  };
  const Case cases[] = {
      {"open a truncated skin", dir.path("short.skn"), false, ErrorMessage(62), "short.skn line 2"},
      {"open a missing project", dir.path("gone.spj"), false, ErrorMessage(53), "gone.spj"},
      {"save a skin into no folder", dir.path("none/s.skn"), true, ErrorMessage(76),
       "the folder " + dir.path("none/") + " does not exist"},
      {"save a project into no folder", dir.path("none/p.spj"), true, ErrorMessage(76),
       "the folder " + dir.path("none/") + " does not exist"},
#ifdef __linux__
      // There, but refusing new files with "no such file".
      {"save into a folder that takes no files", "/proc/s.skn", true, ErrorMessage(75),
       "the folder /proc/ takes no new files"},
#endif
  };
  const std::string folder_before = chooser_.folder;
  const QString status_before = window_->statusBar()->currentMessage();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    prompts_.messages.clear();
    std::string label_when_told;
    prompts_.on_call = [&] { label_when_told = Label2(); };
    Choose(c.path, c.save ? 1 : 0);
    Action(c.save ? "mnuSave" : "mnuOpen")->trigger();
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0].text, c.message);
    EXPECT_NE(prompts_.messages[0].detail.find(c.detail), std::string::npos)
        << prompts_.messages[0].detail;
    EXPECT_EQ(label_when_told, skin_) << "the label does not name a file that failed";
    EXPECT_EQ(Label2(), skin_);
    EXPECT_TRUE(window_->model().ModelLoaded);
    EXPECT_EQ(window_->model().MeshName, before.MeshName);
    EXPECT_EQ(window_->model().VertexCount, before.VertexCount);
    EXPECT_EQ(window_->model().VertexLines.at(0), before.VertexLines.at(0));
    EXPECT_EQ(window_->preview()->TriangleCount(), triangles);
    EXPECT_TRUE(Action("mnuSave")->isEnabled());
    EXPECT_EQ(window_->statusBar()->currentMessage(), status_before);
    EXPECT_EQ(chooser_.folder, folder_before) << "only a file read or saved moves the dialogs' folder";
  }
  EXPECT_EQ(dir.Listing(), std::vector<std::string>{"short.skn"});
}

// Save As never replaces a file silently: a project's .obj may be the
// user's own Blender work. The question names every file of the set that is
// there; No writes nothing. After a save the status bar says what it wrote.
TEST_F(MainWindowTest, SaveAsAsksBeforeReplacingAnyFileOfTheSet) {
  OpenFile(skin_);
  struct Case {
    const char* save_as;
    std::vector<std::string> there;  // files of the set, each holding "mine"
    std::string bystander;           // a file beside them that is not in the set
    std::optional<bool> answer;      // nullopt: no question, or one closed unanswered
    std::string question;            // empty: no question expected
    std::string status;  // empty: nothing written
  };
  const Case cases[] = {
      {"userwork.spj", {}, "", std::nullopt, "", "Saved userwork.spj, userwork.obj, userwork.mtl"},
      {"userwork.spj", {"userwork.obj"}, "", false,
       "userwork.obj already exists.\nDo you want to replace it?", ""},
      {"userwork.spj", {"userwork.obj"}, "", std::nullopt,  // closed: as No
       "userwork.obj already exists.\nDo you want to replace it?", ""},
      {"userwork.spj", {"userwork.obj"}, "userwork.skn", true,
       "userwork.obj already exists.\nDo you want to replace it?",
       "Saved userwork.spj, userwork.obj, userwork.mtl"},
      {"userwork.spj", {"userwork.spj", "userwork.obj", "userwork.mtl"}, "", false,
       "userwork.spj, userwork.obj and userwork.mtl already exist.\nDo you want to replace them?",
       ""},
      {"userwork.spj", {"userwork.mtl"}, "userwork.skn", false,
       "userwork.mtl already exists.\nDo you want to replace it?", ""},
      {"body.skn", {"body.skn"}, "", false, "body.skn already exists.\nDo you want to replace it?", ""},
      {"body.skn", {}, "body.obj", std::nullopt, "", "Saved body.skn"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.save_as) + " over " + std::to_string(c.there.size()) + " files");
    TempDir dir;
    for (const std::string& name : c.there) guitest::WriteFile(dir.path(name), "mine");
    if (!c.bystander.empty()) guitest::WriteFile(dir.path(c.bystander), "mine");
    prompts_.questions.clear();
    if (c.answer) prompts_.answers.push_back(*c.answer);
    window_->statusBar()->clearMessage();
    Choose(dir.path(c.save_as), 0);
    Action("mnuSave")->trigger();
    EXPECT_FALSE(chooser_.calls.back().confirm_replace) << "one question, from the window";
    if (!c.question.empty()) {
      ASSERT_EQ(prompts_.questions.size(), 1u);
      EXPECT_EQ(prompts_.questions[0], std::string("Mervane: ") + c.question);
      EXPECT_FALSE(prompts_.yes_by_default.back()) << "Enter keeps the user's files";
    } else {
      EXPECT_TRUE(prompts_.questions.empty());
    }
    EXPECT_TRUE(prompts_.messages.empty());
    EXPECT_EQ(window_->statusBar()->currentMessage().toStdString(), c.status);
    for (const std::string& name : c.there)
      EXPECT_EQ(guitest::ReadFile(dir.path(name)) != "mine", !c.status.empty()) << name;
    if (!c.bystander.empty()) {
      EXPECT_EQ(guitest::ReadFile(dir.path(c.bystander)), "mine");
    }
    if (c.status.empty()) {
      EXPECT_EQ(dir.Listing().size(), c.there.size() + !c.bystander.empty());
    }
  }
}

// Every file dialog starts in the folder of the last file read or written;
// a save that writes nothing leaves it.
TEST_F(MainWindowTest, FileDialogsStartWhereTheLastFileWas) {
  TempDir dir;
  std::filesystem::create_directories(dir.path("out"));
  std::filesystem::create_directories(dir.path("mine"));
  guitest::WriteFile(dir.path("mine/p.skn"), "mine");
  OpenFile(skin_);
  Choose(dir.path("out/p.spj"));
  Action("mnuSave")->trigger();
  chooser_.choices.push_back(std::nullopt);
  Action("mnuOpen")->trigger();
  Choose(dir.path("none/p.spj"));  // a folder that is not there is not kept
  Action("mnuSave")->trigger();
  chooser_.choices.push_back(std::nullopt);
  Action("mnuTexture")->trigger();
  Choose(dir.path("mine/p.skn"), 1);  // answered No: nothing saved, the folder stays
  Action("mnuSave")->trigger();
  chooser_.choices.push_back(std::nullopt);
  Action("mnuOpen")->trigger();
  ASSERT_EQ(chooser_.calls.size(), 7u);
  const std::string expected[] = {"", FolderOf(skin_), dir.path("out/"), dir.path("out/"),
                                  dir.path("out/"), dir.path("out/"), dir.path("out/")};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(chooser_.calls[i].folder, expected[i]) << i;
  EXPECT_EQ(guitest::ReadFile(dir.path("mine/p.skn")), "mine");
}

// A long path is cut in the middle, keeping the file name in view; the
// label still holds all of it.
TEST_F(MainWindowTest, TheFileLabelElidesALongPathInTheMiddle) {
  TempDir dir;
  const std::string folder = dir.path(std::string(40, 'a') + "/" + std::string(40, 'b') + "/" +
                                      std::string(40, 'c'));
  std::filesystem::create_directories(folder);
  const std::string path = folder + "/body.skn";
  std::filesystem::copy_file(skin_, path);
  OpenFile(path);
  auto* label = window_->centralWidget()->findChild<ElidedLabel*>("Label2");
  ASSERT_NE(label, nullptr);
  label->resize(300, label->sizeHint().height());  // as the layout of a narrow window would
  EXPECT_EQ(label->text().toStdString(), path);
  const QString shown = label->ShownText();
  EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
  EXPECT_TRUE(shown.startsWith(QString::fromStdString(path.substr(0, 5)))) << shown.toStdString();
  EXPECT_TRUE(shown.endsWith("body.skn")) << shown.toStdString();
  EXPECT_LE(label->fontMetrics().horizontalAdvance(shown), label->contentsRect().width());
}

// The preview reads the texture afresh at each Open; View > Texture and a
// dropped .bmp show any image, and the model's texture name stays.
TEST_F(DropTest, AnyImageCanBeShownOnTheModel) {
  TempDir dir;
  const std::string path = dir.path("body.skn");
  std::filesystem::copy_file(skin_, path);
  SkinModel probe;
  FakePrompts quiet;
  ASSERT_EQ(FormatOf(path)->load(probe, quiet, path), Outcome::Succeeded);
  const std::string own = dir.path(probe.TextureName + ".bmp");
  auto paint = [](const std::string& file, QColor color) {
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(color);
    ASSERT_TRUE(image.save(QString::fromStdString(file)));
  };
  auto shown = [this] { return window_->preview()->Texture().pixelColor(0, 0); };
  paint(own, Qt::red);
  paint(dir.path("other.png"), Qt::green);
  paint(dir.path("dropped.bmp"), Qt::blue);

  OpenFile(path);
  EXPECT_EQ(shown(), QColor(Qt::red));
  Choose(dir.path("other.png"));
  Action("mnuTexture")->trigger();
  EXPECT_EQ(shown(), QColor(Qt::green));
  EXPECT_EQ(chooser_.calls.back().title, "Choose an Image to Show on the Model");
  EXPECT_EQ(Descriptions(chooser_.calls.back().filters),
            (std::vector<std::string>{"Bitmaps (*.bmp)", "Images (*.bmp *.png *.jpg *.tga)", "All files (*.*)"}));
  EXPECT_EQ(chooser_.calls.back().filters[0].patterns, "*.bmp");
  EXPECT_EQ(window_->statusBar()->currentMessage(), "Showing other.png on the model (preview only)");
  ASSERT_TRUE(Drop({dir.path("dropped.bmp")}));
  QCoreApplication::processEvents();
  EXPECT_EQ(shown(), QColor(Qt::blue));
  EXPECT_EQ(window_->model().TextureName, probe.TextureName);

  // Painted anew since: the next Open shows the bitmap as it is now, and
  // the status bar no longer speaks of the dropped one.
  paint(own, Qt::yellow);
  OpenFile(path);
  EXPECT_EQ(shown(), QColor(Qt::yellow));
  EXPECT_TRUE(window_->statusBar()->currentMessage().isEmpty());

  // Not an image: told, and the picture stays.
  guitest::WriteFile(dir.path("notes.bmp"), "not a bitmap");
  Choose(dir.path("notes.bmp"));
  Action("mnuTexture")->trigger();
  EXPECT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(shown(), QColor(Qt::yellow));
}

// File > Save writes the file the model came from, in its own format and
// without a question; before there is one (an imported part) it is Save As.
// Save As proposes the current file's name.
TEST_F(MainWindowTest, SaveWritesTheCurrentFileAndSaveAsProposesItsName) {
  TempDir dir;
  guitest::WriteFile(dir.path("body.skn"), guitest::ReadFile(skin_));
  OpenFile(dir.path("body.skn"));
  ASSERT_TRUE(window_->model().ModelLoaded);
  const std::string written = SknText(window_->model());
  guitest::WriteFile(dir.path("body.skn"), "changed elsewhere");
  const std::size_t calls = chooser_.calls.size();
  Action("mnuSaveFile")->trigger();
  EXPECT_EQ(chooser_.calls.size(), calls) << "no dialog";
  EXPECT_TRUE(prompts_.questions.empty());
  EXPECT_EQ(guitest::ReadFile(dir.path("body.skn")), written);

  chooser_.choices.push_back(std::nullopt);
  Action("mnuSave")->trigger();
  ASSERT_EQ(chooser_.calls.size(), calls + 1);
  EXPECT_EQ(chooser_.calls.back().proposed, "body");

  // After a Save As, the saved file is the current one.
  Choose(dir.path("copy.skn"), 0);
  Action("mnuSave")->trigger();
  EXPECT_EQ(Label2(), dir.path("copy.skn"));
  guitest::WriteFile(dir.path("copy.skn"), "");
  Action("mnuSaveFile")->trigger();
  EXPECT_EQ(guitest::ReadFile(dir.path("copy.skn")), written);

  // A skin read from inside an archive cannot be saved over: Save is Save As.
  const FarFile members[] = {{"Skins/body.skn", written}};
  guitest::WriteFile(dir.path("skins.far"), FarBytes(members));
  OpenFile(dir.path("skins.far") + "/Skins/body.skn");
  ASSERT_TRUE(window_->model().ModelLoaded);
  chooser_.choices.push_back(std::nullopt);
  const std::size_t before = chooser_.calls.size();
  Action("mnuSaveFile")->trigger();
  EXPECT_EQ(chooser_.calls.size(), before + 1) << "Save As asks where";
  EXPECT_TRUE(prompts_.messages.empty());
}

// A skin whose bitmap is not beside it says which bitmap was looked for, and
// where; with the bitmap there it says nothing.
TEST_F(MainWindowTest, AMissingBitmapIsNamedInTheStatusBar) {
  TempDir dir;
  guitest::WriteFile(dir.path("body.skn"), guitest::ReadFile(skin_));
  OpenFile(dir.path("body.skn"));
  const std::string bitmap = window_->model().TextureName + ".bmp";
  EXPECT_EQ(window_->statusBar()->currentMessage().toStdString(),
            "No texture shown: " + bitmap + " is not in " + dir.path(""));
  // A skin that names no texture misses none: the line goes.
  guitest::WriteFile(dir.path("plain.skn"), test::SmallSkn("plain", ""));
  OpenFile(dir.path("plain.skn"));
  ASSERT_EQ(window_->model().MeshName, "plain");
  EXPECT_EQ(window_->statusBar()->currentMessage().toStdString(), "");
  // Nor does the Character panel offer it a texture.
  window_->character_panel()->findChild<QListWidget*>("lstParts")->setCurrentRow(0);
  const auto* textures = window_->character_panel()->findChild<QComboBox*>("cmbPartTexture");
  EXPECT_EQ(textures->placeholderText().toStdString(), "None found by the game's naming");
  EXPECT_FALSE(textures->isEnabled());
  QImage image(2, 2, QImage::Format_RGB32);
  image.fill(Qt::red);
  ASSERT_TRUE(image.save(QString::fromStdString(dir.path(bitmap)), "BMP"));
  OpenFile(dir.path("body.skn"));
  EXPECT_TRUE(window_->statusBar()->currentMessage().isEmpty());
  EXPECT_TRUE(window_->preview()->HasTexture());
}

// An .obj given to Open is a project's model or a part: the project beside
// it is offered, and otherwise (or on No) the import, filled in.
TEST_F(MainWindowTest, OpeningAnObjOffersTheProjectOrTheImport) {
  TempDir dir;
  OpenFile(skin_);
  Choose(dir.path("body.spj"));
  Action("mnuSave")->trigger();
  guitest::WriteFile(dir.path("lone.obj"), guitest::ReadFile(dir.path("body.obj")));
  const struct {
    const char* obj;
    std::optional<bool> answer;  // nullopt: no question
    bool opens_project;
  } cases[] = {{"body.obj", true, true}, {"body.obj", false, false}, {"lone.obj", std::nullopt, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.obj);
    window_ = std::make_unique<frmMain>("", &chooser_, &prompts_);
    prompts_.questions.clear();
    if (c.answer) prompts_.answers.push_back(c.answer);
    std::string import_path;
    if (!c.opens_project)
      guitest::WhenModal([&](QDialog& dialog) {
        import_path = dialog.findChild<QLineEdit*>("txtFileName")->text().toStdString();
        dialog.reject();
      });
    window_->OpenPath(dir.path(c.obj));  // what Open does with the chosen file
    EXPECT_EQ(prompts_.questions.size(), c.answer ? 1u : 0u);
    EXPECT_EQ(Label2(), c.opens_project ? dir.path("body.spj") : "");
    EXPECT_EQ(import_path, c.opens_project ? "" : dir.path(c.obj));
  }
}

// Recent Files, and the window's size and place, outlive the run; a
// settings file that is unreadable or holds foreign values is passed over.
TEST_F(MainWindowTest, RecentFilesAndThePlaceAreKeptAndBadSettingsIgnored) {
  const std::string settings = PathFromQt(SettingsFile());
  std::filesystem::create_directories(std::filesystem::path(FolderOf(settings)));
  for (const std::string& junk : {std::string("recentFiles=42\ngeometry=nonsense\n"),
                                  std::string("\x01\x02[[[\xff\nrecentFiles=@Variant(\xff\xff)\n")}) {
    guitest::WriteFile(settings, junk);
    frmMain window("", &chooser_, &prompts_);
    EXPECT_TRUE(window.RecentFiles().isEmpty());
    // An empty list says so, with nothing to click.
    auto* menu = window.findChild<QMenu*>("mnuRecent");
    emit menu->aboutToShow();
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions()[0]->text(), "No files yet");
    EXPECT_FALSE(menu->actions()[0]->isEnabled());
  }
  {
    // Edited by hand: a file twice, one the window does not open, and more
    // than the menu lists.
    QStringList stored{"/a/one.skn", "/a/one.skn", "/a/notes.txt"}, kept{"/a/one.skn"};
    for (int i = 0; i < 9; ++i) stored << QString("/a/s%1.bmf").arg(i);
    kept += stored.mid(3, 7);
    Settings().setValue("recentFiles", stored);
    EXPECT_EQ(frmMain("", &chooser_, &prompts_).RecentFiles(), kept);
  }
  std::filesystem::remove(std::filesystem::path(settings));
  TempDir dir;
  QStringList expected;
  {
    frmMain window("", &chooser_, &prompts_);
    for (int i = 0; i < 10; ++i) {
      const std::string path = dir.path("s" + std::to_string(i) + ".skn");
      guitest::WriteFile(path, guitest::ReadFile(skin_));
      chooser_.choices.push_back(FileChoice{path, 0});
      window.Open();
      expected.prepend(PathToQt(path));
    }
    // A file opened again moves to the top rather than being listed twice.
    const std::string again = dir.path("s6.skn");
    chooser_.choices.push_back(FileChoice{again, 0});
    window.Open();
    expected.removeAll(PathToQt(again));
    expected.prepend(PathToQt(again));
    window.Open();  // cancelled
    expected = expected.mid(0, 8);
    EXPECT_EQ(window.RecentFiles(), expected);
    window.setGeometry(40, 50, 1010, 730);
    window.show();
    window.close();
  }
  frmMain next_run("", &chooser_, &prompts_);
  EXPECT_EQ(next_run.RecentFiles(), expected);
  EXPECT_EQ(next_run.size(), QSize(1010, 730));
  auto* recent = next_run.findChild<QMenu*>("mnuRecent");
  ASSERT_NE(recent, nullptr);
  emit recent->aboutToShow();
  ASSERT_EQ(recent->actions().size(), 8);
  EXPECT_EQ(recent->actions()[0]->text(), "&1 s6.skn");
  EXPECT_EQ(recent->actions()[2]->statusTip(), expected[2]) << "the status bar shows where it is";
  recent->actions()[2]->trigger();
  EXPECT_EQ(next_run.centralWidget()->findChild<QLabel*>("Label2")->text(), expected[2]);
  std::filesystem::remove(std::filesystem::path(settings));
}

TEST(AboutTest, NamesTheVersionQtAndTheLicences) {
  const QString text = AboutText();
  EXPECT_TRUE(text.contains(QString("Mervane ") + kVersion));
  EXPECT_TRUE(text.contains(qVersion()));
  EXPECT_TRUE(text.contains("GNU Lesser General Public License"));
  EXPECT_TRUE(text.contains("free software under the GNU General Public License, version 3 or"));
  EXPECT_TRUE(text.contains("libimagequant"));
}

}  // namespace
}  // namespace mervane
