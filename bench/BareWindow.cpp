// The yardstick for the program's start-up and memory: a bare Qt window with
// what the program's window shows (the caption, two labels, two sliders and a
// status bar, in the same Japanese font) and nothing behind it: no sound, no
// keyboard hook, no settings. app_bench starts it beside the program.

#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QSlider>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle("Strumkey");
    window.setFont(QFont("IPAPGothic", 9));
    auto* layout = new QVBoxLayout(&window);
    for (const char* caption : {"ストロークの強さ:", "ストロークの速さ:"}) {
        layout->addWidget(new QLabel(QString::fromUtf8(caption)));
        auto* slider = new QSlider(Qt::Horizontal);
        slider->setTickPosition(QSlider::TicksBelow);
        layout->addWidget(slider);
    }
    auto* status = new QStatusBar;
    status->showMessage(QString::fromUtf8("ﾚﾃﾞｨ"));
    layout->addWidget(status);
    window.show();
    return application.exec();
}
