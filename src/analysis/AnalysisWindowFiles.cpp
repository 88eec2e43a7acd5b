// The analysis window's door to recorded runs: the open button, files
// dropped on the window, and the bulk feed a viewer uses.
#include "analysis/AnalysisWindow.h"
#include "analysis/ControlNames.h"
#include "analysis/LinkCharts.h"
#include "analysis/RunViewer.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QUrl>
#include <QVBoxLayout>

namespace analysis {

namespace {

QStringList localFiles(const QMimeData* mime) {
    QStringList files;
    if (mime && mime->hasUrls())
        for (const QUrl& url : mime->urls())
            if (url.isLocalFile())
                files << url.toLocalFile();
    return files;
}

}  // namespace

QPushButton* AnalysisWindow::openButton() {
    auto* button = new QPushButton(QStringLiteral("開く…"));
    nameControl(button, QStringLiteral("OpenRunButton"));
    button->setToolTip(QStringLiteral("記録したラン (.jsonl, 通信ログ) を開く"));
    button->setAccessibleDescription(button->toolTip());
    connect(button, &QPushButton::clicked, this, &AnalysisWindow::chooseFiles);
    return button;
}

void AnalysisWindow::chooseFiles() {
    const QStringList files =
        openChooser_ ? openChooser_()
                     : QFileDialog::getOpenFileNames(this, QStringLiteral("ランを開く"), QString(),
                                                     QStringLiteral("記録 (*.jsonl *.log);;All File (*)"));
    openFiles(files);
}

void AnalysisWindow::openFiles(const QStringList& files) {
    if (files.isEmpty())
        return;
    if (openHandler_) {
        openHandler_(files);
        return;
    }
    // A viewer of its own, beside this window, gone when it is closed.
    RunViewer::openInNewWindow(files, rec_.settings());
}

void AnalysisWindow::dragEnterEvent(QDragEnterEvent* e) {
    if (!localFiles(e->mimeData()).isEmpty())
        e->acceptProposedAction();
}

void AnalysisWindow::dropEvent(QDropEvent* e) {
    const QStringList files = localFiles(e->mimeData());
    if (files.isEmpty())
        return;
    e->acceptProposedAction();
    openFiles(files);
}

void AnalysisWindow::addViewerBar(QWidget* bar) {
    content_->insertWidget(1, bar);
    // Markers are dropped during a live run only; the last one read stays shown.
    markerNote_->hide();
    markerButton_->hide();
    if (auto* f2 = findChild<QShortcut*>(QStringLiteral("MarkerShortcut")))
        f2->setEnabled(false);
    if (QWidget* row = findChild<QWidget*>(QStringLiteral("MarkerRow")))
        for (QLabel* l : row->findChildren<QLabel*>())
            if (l != lastMarker_)
                l->hide();
}

void AnalysisWindow::endBulk() {
    bulk_ = false;
    refreshFigures();
    charts_->flush();
    showRunState();
}

}  // namespace analysis
