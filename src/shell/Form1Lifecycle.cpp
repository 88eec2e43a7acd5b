// Start-up, resize and shutdown of the main window.
#include "shell/Form1.h"

#include <QCloseEvent>
#include <QResizeEvent>

void Form1::bindControlArrays() {}

void Form1::Form_Load() {}

void Form1::Form_Resize() {}

void Form1::Form_Unload() {
    if (unloaded_)
        return;
    unloaded_ = true;
}

void Form1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void Form1::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}
