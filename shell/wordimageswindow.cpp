#include "shell/wordimageswindow.h"

#include "data/model/cadata.h"
#include "data/formats/counttable.h"
#include "detail/wordimagespane.h"
#include "map/caview.h"
#include "shell/tablestore.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QVBoxLayout>

int WordImagesWindow::top = WordImages::DefaultTop;

WordImagesWindow::WordImagesWindow(CAView *view, int word, TableStore *tables, QWidget *parent)
    : QWidget(parent, Qt::Window), m_data(view->data), m_tables(tables), m_word(word),
      m_label(view->data->wordLabel(word)), m_top(top), m_palette(view->colors)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("Images with word #%1 - Ortelis").arg(m_label));

    exemplar = new QLabel(this);
    exemplar->hide();
    note = new QLabel(tr("Reading the analysed table for the counts of word #%1...").arg(m_label), this);
    note->setWordWrap(true);
    progress = new QProgressBar(this);
    progress->setRange(0, 1000);
    progress->setFormat(tr("%p % of the table's rows read"));
    pane = new WordImagesPane;
    pane->keypointPalette = &m_palette;
    m_area = new QScrollArea(this);
    m_area->setWidget(pane);
    m_area->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    auto *head = new QHBoxLayout;
    head->addWidget(exemplar);
    head->addWidget(note, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(head);
    layout->addWidget(progress);
    layout->addWidget(m_area, 1);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);

    // The window shows pictures of its analysis: it goes with it.
    connect(view->data, &QObject::destroyed, this, [this] {
        pane->data = nullptr;
        QWidget::close();
    });

    // Five squares across, and about three rows, within the screen.
    const int pitch = pane->cellWidth + pane->spacing;
    QSize want(pane->columns * pitch + 40, 3 * pitch + 120);
    if (const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        want = want.boundedTo(screen->availableGeometry().size() * 0.9);
    resize(want);

    if (!tables || tables->request(view->data)) {
        fill();
        return;
    }
    connect(tables, &TableStore::progressed, progress, &QProgressBar::setValue);
    connect(tables, &TableStore::ready, this, [this](const CAData *data) {
        if (m_filled)
            return;
        if (data == m_data) {
            fill();
            return;
        }
        // The store read another analysis's table meanwhile (another window
        // became active): this one's is asked for again.
        if (m_data && m_tables && m_tables->request(m_data))
            fill();
    });
}

void WordImagesWindow::fill()
{
    progress->hide();
    m_filled = true;
    CAData *data = m_data;
    const CountTable *table = data && m_tables ? m_tables->table(data) : nullptr;
    if (!table) {
        note->setText(tr("The counts of word #%1 need the analysed table: %2.")
                          .arg(m_label)
                          .arg(m_tables ? m_tables->why() : tr("not available")));
        emit filled();
        return;
    }
    int holding = 0;
    m_images = WordImages::richest(*table, m_word, m_top, &holding);
    const QString valueName = WordImages::valueName(*table, m_label);
    setWindowTitle(tr("Images with word #%1 (%2 per image) - Ortelis").arg(m_label).arg(valueName));
    QVector<int> images;
    QVector<double> values;
    for (const WordImages::Image &i : m_images) {
        images << i.image;
        values << i.value;
    }
    note->setText(holding == 0
                      ? tr("No image of this analysis holds word #%1.").arg(m_label)
                      : tr("The %1 images richest in word #%2, by the %3 in each (green), largest first; "
                           "%4 of the %5 images hold it. Only its keypoints are drawn; the yellow number is "
                           "the image's. Double-click for the full image.")
                            .arg(images.size())
                            .arg(m_label)
                            .arg(valueName)
                            .arg(holding)
                            .arg(data->nbImages));
    pane->setImages(data, images, values, m_label, valueName);
    emit filled();
}
