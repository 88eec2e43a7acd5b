#include "analysis/TileSourceControl.h"

#include "analysis/ControlNames.h"
#include "analysis/CoverageMap.h"
#include "export/TileSet.h"
#include "platform/QtDialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

namespace analysis {

namespace {

const QString kTitle = QStringLiteral("地図タイル");

}  // namespace

TileSourceControl::TileSourceControl(CoverageMap& map, QWidget* parent) : QWidget(parent), map_(map) {
    nameControl(this, QStringLiteral("MapTiles"));
    button_ = nameControl(new QPushButton(QStringLiteral("地図タイル…")), QStringLiteral("MapTilesButton"));
    button_->setToolTip(QStringLiteral("地図の下に敷く地図タイルを選ぶ"));
    button_->setAccessibleDescription(button_->toolTip());
    current_ = nameControl(new QLabel, QStringLiteral("MapTilesSource"));
    current_->setTextFormat(Qt::PlainText);  // it shows paths and URLs, which may hold anything
    current_->setMaximumWidth(360);          // the whole source is its tool tip
    menu_ = new QMenu(button_);
    menu_->setObjectName(QStringLiteral("MapTilesMenu"));
    const struct {
        Kind kind;
        const char* name;
        QString text;
    } entries[] = {
        {Kind::MbTiles, "MapTilesMbTiles", QStringLiteral("MBTiles ファイル…")},
        {Kind::Folder, "MapTilesFolder", QStringLiteral("XYZ タイルのフォルダ…")},
        {Kind::Url, "MapTilesUrl", QStringLiteral("オンライン URL…")},
        {Kind::None, "MapTilesNone", QStringLiteral("なし")},
    };
    for (const auto& e : entries) {
        QAction* a = menu_->addAction(e.text);
        a->setObjectName(QLatin1String(e.name));
        const Kind kind = e.kind;
        connect(a, &QAction::triggered, this, [this, kind] { choose(kind); });
    }
    button_->setMenu(menu_);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(button_);
    row->addWidget(current_, 1);
    showCurrent();
}

TileSourceControl::~TileSourceControl() = default;

Dialogs& TileSourceControl::dialogs() {
    if (dialogs_)
        return *dialogs_;
    if (!own_)
        own_ = std::make_unique<QtDialogs>();
    return *own_;
}

void TileSourceControl::choose(Kind kind) {
    const BaseMap* base = map_.baseMap();
    const QString now = base ? base->source() : QString();
    switch (kind) {
    case Kind::MbTiles: {
        const QString file = dialogs().getOtherFileName(this, QStringLiteral("地図タイル (MBTiles)"),
                                                        QStringLiteral("MBTiles (*.mbtiles);;All File (*)"));
        if (!file.isEmpty())
            apply(file, {});
        return;
    }
    case Kind::Folder: {
        const QString folder = dialogs().getFolderName(this, QStringLiteral("地図タイル (XYZ フォルダ: <z>/<x>/<y>.png)"));
        if (!folder.isEmpty())
            apply(folder, {});
        return;
    }
    case Kind::Url: {
        const bool online = tiles::isUrlTemplate(now);
        const std::optional<QString> url = dialogs().getText(
            this, kTitle, QStringLiteral("タイルの URL ({z}, {x}, {y} を含む)"),
            online ? now : QStringLiteral("https://"));
        if (!url || url->trimmed().isEmpty())
            return;
        if (!tiles::isUrlTemplate(url->trimmed())) {
            dialogs().tell(this,
                           QStringLiteral("地図タイルを使えません: %1: http:// か https:// で始まる URL ではありません。\n"
                                          "地図は前のままです。")
                               .arg(url->trimmed()),
                           kTitle);
            return;
        }
        const std::optional<QString> attribution =
            dialogs().getText(this, kTitle, QStringLiteral("帰属表示 (タイルの提供元が求める表示)"),
                              online && base ? base->givenAttribution() : QString());
        if (attribution)
            apply(url->trimmed(), attribution->trimmed());
        return;
    }
    case Kind::None:
        apply({}, {});
        return;
    }
}

void TileSourceControl::apply(const QString& source, const QString& attribution) {
    QString error;
    if (!map_.setTileSource(source, attribution, &error)) {
        dialogs().tell(this, QStringLiteral("地図タイルを使えません: %1\n地図は前のままです。").arg(error), kTitle);
        return;
    }
    showCurrent();
    emit chosen(source.trimmed(), attribution.trimmed());
}

void TileSourceControl::showCurrent() {
    const BaseMap* base = map_.baseMap();
    if (!base) {
        current_->setText(QStringLiteral("なし"));
        current_->setToolTip({});
        return;
    }
    const QString source = base->source();
    const QString shown = tiles::isUrlTemplate(source) ? source : QFileInfo(QDir::cleanPath(source)).fileName();
    current_->setText(base->attribution().isEmpty() ? shown : QStringLiteral("%1  (%2)").arg(shown, base->attribution()));
    current_->setToolTip(source);
}

}  // namespace analysis
