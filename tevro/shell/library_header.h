#pragma once

// The strip above the library: title and counts, the layout picker, the
// batch actions on the selection, the sort menu, the detail pane toggle, the
// search field and the add button with its popover. The header measures its
// width into wide, middle and compact classes.

#include <cstdint>
#include <optional>
#include <vector>

#include <QWidget>

class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QToolButton;

namespace tevro {

class MainView;

class LibraryHeader : public QWidget {
    Q_OBJECT
public:
    enum class WidthClass { compact, middle, wide };

    explicit LibraryHeader(MainView& view, QWidget* parent = nullptr);

    static WidthClass widthClass(int width);
    WidthClass currentClass() const { return m_class; }

    // The parts tests and the accessibility tree reach by name.
    QToolButton* layoutButton(int index) const { return m_layoutButtons[index]; }
    QLineEdit* searchField() const { return m_search; }
    QToolButton* detailsToggle() const { return m_details; }
    QPushButton* addButton() const { return m_add; }
    QWidget* addPopover() const { return m_popover; }

    void refresh();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildBatchActions();
    void showAddPopover();
    // How many torrents are done, followed through the engine's changes.
    int doneCount();

    MainView& m_view;
    WidthClass m_class = WidthClass::wide;
    QLabel* m_title = nullptr;
    QLabel* m_badge = nullptr;
    QLabel* m_done = nullptr;
    QWidget* m_titleGroup = nullptr;
    QToolButton* m_layoutButtons[3] = {};
    QLabel* m_selectedText = nullptr;
    QToolButton* m_resume = nullptr;
    QToolButton* m_pause = nullptr;
    QToolButton* m_remove = nullptr;
    QToolButton* m_selectionMenuButton = nullptr;
    QMenu* m_selectionMenu = nullptr;
    QToolButton* m_sort = nullptr;
    QMenu* m_sortMenu = nullptr;
    QToolButton* m_details = nullptr;
    QFrame* m_searchFrame = nullptr;
    QLineEdit* m_search = nullptr;
    QToolButton* m_clear = nullptr;
    QPushButton* m_add = nullptr;
    QWidget* m_popover = nullptr;
    // The done torrents' id keys, sorted, as of the engine's revision.
    std::vector<std::size_t> m_doneKeys;
    std::optional<std::uint64_t> m_doneRevision;
};

} // namespace tevro
