#pragma once

// The small sheet of the trackers tab that takes tracker addresses, one per line.

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace tevro {

class AddTrackersSheet : public QDialog {
    Q_OBJECT
public:
    AddTrackersSheet(const QString& text, QWidget* parent = nullptr);

    QString text() const;
    void setText(const QString& text);
    bool canAdd() const;

signals:
    // "Добавить" with the text as typed.
    void addRequested(const QString& text);

private:
    QPlainTextEdit* m_text = nullptr;
    QPushButton* m_add = nullptr;
};

} // namespace tevro
