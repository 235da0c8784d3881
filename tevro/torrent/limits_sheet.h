#pragma once

// The sheet that sets one torrent's download and upload limits (KiB/s),
// connections and upload slots; 0 means unlimited. "Применить" hands the four
// values to the session in one call, polls the engine and closes.

#include <QDialog>

class QLabel;
class QSpinBox;

namespace tevro {

class ClampedLabel;
class TorrentEngine;

class LimitsSheet : public QDialog {
    Q_OBJECT
public:
    LimitsSheet(TorrentEngine& engine, const QString& torrentID, QWidget* parent = nullptr);

    int download() const;
    int upload() const;
    int connections() const;
    int uploads() const;
    void setValues(int download, int upload, int connections, int uploads);
    void apply();

    // The largest rate in KiB/s whose byte value fits the session's 32-bit limit.
    static constexpr int kMaxRate = 2097151;

protected:
    void showEvent(QShowEvent* event) override;

private:
    TorrentEngine& m_engine;
    QString m_torrentID;
    ClampedLabel* m_title = nullptr;
    QSpinBox* m_download = nullptr;
    QSpinBox* m_upload = nullptr;
    QSpinBox* m_connections = nullptr;
    QSpinBox* m_uploads = nullptr;
};

} // namespace tevro
