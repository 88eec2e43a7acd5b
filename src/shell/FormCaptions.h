#pragma once
// Ties the main window's boxes to the captions a reader sees beside them,
// so assistive tools announce "カウント" rather than "Tx_Count", and lets Tab
// leave the multi-line boxes as it leaves a single-line one.
namespace Ui {
class Form1;
}

namespace shell {

// Buddies and accessible descriptions of every text box, combo box and list;
// their accessible names stay the control names tools address them by.
void tieCaptions(Ui::Form1& ui);

}  // namespace shell
