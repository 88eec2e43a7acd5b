#include "platform/WidgetColours.h"

#include "common/Colours.h"

#include <QApplication>
#include <QWidget>

void setBackColour(QWidget* field, std::uint32_t value) {
    QPalette p = field->palette();
    p.setColor(QPalette::Base, colourFromValue(value, QApplication::palette(field)));
    field->setPalette(p);
}
