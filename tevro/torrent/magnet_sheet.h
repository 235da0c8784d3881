#pragma once

// The sheet that adds a torrent from a magnet link: the link, the folder,
// "choose files first" and "start now". Emits `added` with the torrent's id
// (the existing one for a duplicate) just before it closes.

#include <QDialog>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace tevro {

class ElidedLabel;
class TorrentEngine;

class MagnetSheet : public QDialog {
    Q_OBJECT
public:
    MagnetSheet(TorrentEngine& engine, const QString& initial, QWidget* parent = nullptr);

    // The link as it would be sent: the text trimmed at both ends.
    QString link() const;
    bool canAdd() const;
    void setText(const QString& text);
    void setSavePath(const QString& path);
    QString savePath() const { return m_savePath; }
    void setChooseFiles(bool on);
    void setStartNow(bool on);
    void add();
    QString errorText() const;

signals:
    void added(const QString& id);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void refreshState();

    TorrentEngine& m_engine;
    QString m_initial;
    QString m_savePath;
    QPlainTextEdit* m_text = nullptr;
    ElidedLabel* m_pathLabel = nullptr;
    QCheckBox* m_chooseFiles = nullptr;
    QCheckBox* m_startNow = nullptr;
    QLabel* m_error = nullptr;
    QPushButton* m_addButton = nullptr;
};

} // namespace tevro
