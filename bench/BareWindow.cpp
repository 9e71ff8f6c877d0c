// The yardstick for the program's start-up and memory: a bare Qt window with
// what the program's window shows (the caption, two labels, two sliders and a
// status bar, in the same Japanese font) and nothing behind it: no sound, no
// keyboard hook, no settings. app_bench starts it beside the program.
//
// Built as bare_sound_window it also keeps an SDL audio device open at the
// buffer that BARE_WINDOW_AUDIO_FRAMES gives, as the program does, and feeds
// it silence: the idle cost of an open device, apart from anything the
// program does.

#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QSlider>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QWidget>

#ifdef BARE_WINDOW_AUDIO
#include <SDL.h>

#include <cstdlib>
#include <cstring>

namespace {

void Silence(void* /*user*/, Uint8* stream, int length)
{
    std::memset(stream, 0, static_cast<std::size_t>(length));
}

void OpenSilentDevice(int frames)
{
    SDL_AudioSpec wanted{};
    wanted.freq = 22050;
    wanted.format = AUDIO_S16LSB;
    wanted.channels = 2;
    wanted.samples = static_cast<Uint16>(frames);
    wanted.callback = Silence;
    if (SDL_Init(SDL_INIT_AUDIO) == 0 && SDL_OpenAudio(&wanted, nullptr) == 0)
        SDL_PauseAudio(0);
}

}  // namespace
#endif

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
#ifdef BARE_WINDOW_AUDIO
    if (const char* frames = std::getenv("BARE_WINDOW_AUDIO_FRAMES"))
        OpenSilentDevice(std::atoi(frames));
#endif
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
