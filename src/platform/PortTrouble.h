#pragma once
// The reason a port did not open, beside the window's own message ("ポート確認",
// "ポート･設定確認"): on standard error and in the port box's tooltip, after
// the box's own hint. An opened port gives the box its own hint back.
#include <QString>

class QWidget;
class SerialPort;

namespace porttrouble {

// After a failed open of port (whose name is in box); nothing when the
// port has no reason to add.
void tell(QWidget* box, const SerialPort& port, const QString& message);
// After a successful open.
void clear(QWidget* box);

} // namespace porttrouble
