// The info tab against a real engine and a loopback tracker: its labels are
// updated in place, so a selection in them outlives the polls, and a long
// folder or tracker is cut in the middle instead of widening the pane.

#include <QLabel>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>

#include "tests/support/qt_app.h"
#include "tests/torrent/loopback_tracker.h"
#include "tests/torrent/views_fixture.h"
#include "tevro/bridge/torrent_bridge.h"
#include "tevro/torrent/info_view.h"
#include "tevro/torrent/selectable_elided_label.h"

using namespace tevro;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

class InfoViewTest : public test::ViewsTest {};

} // namespace

TEST_F(InfoViewTest, SelectionsOutlivePollsAndLongFolderAndTrackerAreCutInTheMiddle) {
    test::LoopbackTracker tracker;
    const std::string trackerPath = "/announce/" + std::string(160, 't');
    const std::string trackerURL = tracker.url(trackerPath);
    auto t = makeTorrent("Tracked", {{"t.mkv", 50000}}, 3, {trackerURL}, true);
    const fs::path folder = dir / std::string(120, 'a') / std::string(120, 'b');
    auto added = engine().addTorrent(t.torrentPath(), folder.string(), std::nullopt, false, false);
    ASSERT_TRUE(added);
    const std::string id = added->id;

    InfoView view(engine());
    view.resize(700, 520);
    view.setTorrentID(QString::fromStdString(id));
    view.show();
    // A local tracker's path must start with "/announce" (libtorrent's SSRF rule).
    ASSERT_TRUE(test::waitUntil([&] { return !view.value("Трекер").isEmpty(); }, 30s));

    QPointer<SelectableElidedLabel> folderText, trackerText;
    for (auto* l : view.findChildren<SelectableElidedLabel*>())
        (l->accessibleName() == "Папка" ? folderText : trackerText) = l;
    QPointer<QLabel> hash;
    for (auto* l : view.findChildren<QLabel*>())
        if (l->accessibleName() == "Хэш")
            hash = l;
    ASSERT_TRUE(folderText && trackerText && hash);

    // Cut in the middle: the start and the end show, and the pane keeps its width.
    test::spinFor(100ms);
    for (const auto& [label, full] :
         {std::pair{folderText, QString::fromStdString(folder.string())},
          std::pair{trackerText, QString::fromStdString(trackerURL)}}) {
        EXPECT_EQ(label->text(), full);
        QString painted = label->paintedText();
        EXPECT_TRUE(painted.contains(QChar(0x2026))) << painted.toStdString();
        EXPECT_TRUE(painted.startsWith(full.left(8))) << painted.toStdString();
        EXPECT_TRUE(painted.endsWith(full.right(8))) << painted.toStdString();
    }
    EXPECT_EQ(view.findChild<QScrollArea*>()->horizontalScrollBar()->maximum(), 0);

    hash->setSelection(0, 8);
    folderText->setSelection(0, 5);
    trackerText->setSelection(0, 4);
    // A new limit changes one figure, and the poll brings it.
    tb_set_limits(engine().session(), id.c_str(), 51200, 0, 0, 0);
    engine().poll();
    ASSERT_TRUE(test::waitUntil([&] { return view.value("Лимит загрузки") != "∞"; }));
    test::spinFor(1500ms);
    ASSERT_TRUE(hash && folderText && trackerText);
    EXPECT_EQ(hash->selectedText(), QString::fromStdString(id.substr(0, 8)));
    EXPECT_EQ(folderText->selectedText(), QString::fromStdString(folder.string().substr(0, 5)));
    EXPECT_EQ(trackerText->selectedText(), QString::fromStdString(trackerURL.substr(0, 4)));
}
