#pragma once
// The datum point file (.pos): comma-separated key, value, comment; lines
// end in CR LF; written as plain ASCII through the code page 932 helper.
#include <QString>

namespace datumfile {

struct Datum {
    double latitude = 0;       // decimal degrees; 0: no datum point
    double longitude = 0;
    double height = 0;         // metres
    double northCorrection = 0; // km per day, kept only
    double eastCorrection = 0;
};

// Which lines follow the header: the N, E and M lines are written when the
// position texts they stand for are not empty.
struct Lines {
    bool latitude = false;
    bool longitude = false;
    bool height = false;
};

// The whole file text. Correction lines are written only when a correction
// is not 0 (one was read earlier), so a file read and saved again keeps them.
QString format(const Datum& datum, Lines lines);

// Applies the file text to datum: fields separated by commas or line ends,
// blanks around each dropped, taken three at a time as key, value, comment;
// "N:", "E:", "M:" set their values, "NC:" and "EC:" only when not 0; other
// keys are ignored; a later line wins. When the fields do not come in
// complete threes nothing is applied and false is returned with a terse
// reason in *error.
bool apply(const QString& text, Datum* datum, QString* error = nullptr);

} // namespace datumfile
