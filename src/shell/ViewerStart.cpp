#include "shell/ViewerStart.h"

#include "analysis/AnalysisWindow.h"
#include "analysis/RunViewer.h"
#include "shell/DataFolder.h"
#include "shell/StartOptions.h"

#include <QApplication>
#include <QDir>
#include <QTextStream>
#include <QTimer>

namespace {

constexpr int kProblemsPrinted = 20;

}  // namespace

int showRecordedRuns(const StartOptions& options) {
    const DataFolder data = DataFolder::resolve(QCoreApplication::applicationDirPath(), options.dataDir);
    const analysis::AnalysisSettings settings =
        analysis::AnalysisSettings::load(QDir(data.dir).filePath(QLatin1String(analysis::AnalysisSettings::kFileName)));
    analysis::RunViewer viewer(settings);
    analysis::AnalysisWindow& window = viewer.window();
    int status = 0;
    QTextStream err(stderr);
    QObject::connect(&viewer, &analysis::RunViewer::opened, &window, [&](bool allRead) {
        if (!allRead)
            status = 1;
        const QStringList problems = viewer.problems();
        for (int i = 0; i < problems.size() && i < kProblemsPrinted; ++i)
            err << "qvx-loopback: " << problems[i] << Qt::endl;
        if (problems.size() > kProblemsPrinted)
            err << "qvx-loopback: " << problems.size() - kProblemsPrinted << " more not shown" << Qt::endl;
        if (options.screenshot.isEmpty() && !options.quit)
            return;
        // Once the window has been laid out and painted.
        QTimer::singleShot(0, &window, [&] {
            if (!options.screenshot.isEmpty() && !window.grab().save(options.screenshot, "PNG")) {
                err << "qvx-loopback: could not write the screenshot " << options.screenshot << Qt::endl;
                status = 1;
            }
            if (options.quit)
                window.close();
        });
    });
    window.show();
    viewer.open(options.openFiles);
    const int rc = QApplication::exec();
    return rc != 0 ? rc : status;
}
