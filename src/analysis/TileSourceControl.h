#pragma once
// The map page's choice of base map: a button (地図タイル…) with a menu of
// the sources the map can stand on (an MBTiles file, a folder of XYZ
// tiles, an online URL template with its attribution, none) and a label of
// the source in use and the attribution shown with it. A choice is applied
// to the map at once; one the map cannot use (a file it cannot read, a
// template without {z}, {x}, {y}) is told in a message and the map keeps
// the source it had. An applied choice is announced (chosen) so the window
// saves it in the analysis settings. Every question goes through the
// platform's Dialogs seam.
#include <QWidget>

#include <memory>

class Dialogs;
class QLabel;
class QMenu;
class QPushButton;

namespace analysis {

class CoverageMap;

class TileSourceControl : public QWidget {
    Q_OBJECT
public:
    enum class Kind { MbTiles, Folder, Url, None };

    explicit TileSourceControl(CoverageMap& map, QWidget* parent = nullptr);
    ~TileSourceControl() override;
    // The dialogs asked; the platform's own until set.
    void setDialogs(Dialogs* dialogs) { dialogs_ = dialogs; }
    // What the menu's entries do: ask for a source of that kind and apply it.
    void choose(Kind kind);
    QMenu* menu() const { return menu_; }
    // The label after the map's source changed elsewhere (the settings).
    void showCurrent();

signals:
    void chosen(const QString& source, const QString& attribution);

private:
    Dialogs& dialogs();
    void apply(const QString& source, const QString& attribution);

    CoverageMap& map_;
    Dialogs* dialogs_ = nullptr;
    std::unique_ptr<Dialogs> own_;
    QPushButton* button_ = nullptr;
    QLabel* current_ = nullptr;
    QMenu* menu_ = nullptr;
};

}  // namespace analysis
