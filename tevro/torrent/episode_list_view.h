#pragma once

// The list that shows the contents page's episodes as painted cards or rows.
// It gives assistive tools what the painting shows: an element per episode
// holding its play button ("Смотреть: …") and its download toggle
// ("Скачивать …", "Да" or "Нет"), each pressable.

#include <QListView>

namespace tevro {

class EpisodeDelegate;
class EpisodeModel;

class EpisodeListView : public QListView {
    Q_OBJECT
public:
    enum class Part { play, toggle };

    explicit EpisodeListView(QWidget* parent = nullptr);

    void setEpisodes(EpisodeModel* model, EpisodeDelegate* delegate);
    EpisodeModel* episodes() const { return m_model; }

    // The accessible texts of one part of the episode in `row`.
    QString partName(int row, Part part) const;
    QString partValue(int row, Part part) const;
    // Does what a click on that part does.
    void press(int row, Part part);

private:
    EpisodeModel* m_model = nullptr;
    EpisodeDelegate* m_delegate = nullptr;
};

} // namespace tevro
