// controls_demo [FILE.gif | --remote ADDRESS]: a form with the program's push buttons and a Japanese
// label, for trying them with the mouse, and with a GIF file (or one read from a path or an http(s)
// address in the background) the animated-GIF control playing it, and a combo box with an empty entry
// and 1 to 30. Each Click prints "Click <caption>" (or "Click GIF") on a line of its own, an entry chosen
// in the combo "Combo <text>", the end of the GIF's loops "LoopsEnded", a finished download
// "RemoteLoadComplete W H" or "RemoteLoadFailure"; the program ends when its window is closed.

#include <cstdio>
#include <string>
#include <string_view>

#include "controls/anigif/ani_gif_control.h"
#include "controls/button/command.h"
#include "design_data.h"
#include "forms/app.h"
#include "forms/combo_box.h"
#include "forms/form.h"
#include "forms/label.h"
#include "forms/property_bag.h"
#include "platform/ui.h"

namespace {

using namespace pap;

class DemoForm : public forms::Form {
public:
    DemoForm(forms::App& app, forms::DesignData& design, std::string gifFile, bool remote)
        : Form(app, "Papyrant controls"), m_gifFile(std::move(gifFile)), m_remote(remote)
    {
        setDesignData(&design);
        setScaleMode(forms::ScaleMode::Pixels);
        setBackColor(gfx::Rgb(0xEC, 0xE9, 0xD8));
        const FontSpec gothic{"ＭＳ Ｐゴシック", 9.75, 400, false, false, false, 128};
        setFont(gothic);
        const forms::ScreenInfo& screen = app.Screen();
        Move(0, 0, 400 * screen.TwipsPerPixelX, 240 * screen.TwipsPerPixelY);

        struct Place {
            Command* button;
            const char* name;
            int x, y, width, height;
        };
        for (const Place& place : {Place{&m_one, "cmdOne", 20, 20, 81, 25}, Place{&m_two, "cmdTwo", 120, 20, 81, 25},
                                   Place{&m_more, "cmdMore", 220, 22, 25, 21}}) {
            place.button->setName(place.name);
            place.button->Move(place.x, place.y, place.width, place.height);
            Command* button = place.button;
            button->Click = [button] {
                std::printf("Click %s\n", button->Caption().c_str());
                std::fflush(stdout);
            };
        }
        m_repeat.Move(20, 60, 160, 16);
        m_repeat.setFont(gothic);
        m_repeat.setBackStyle(0);
        m_repeat.setCaption("曲目をリピート");

        m_combo.setName("cboRepeat");
        m_combo.Move(240, 60, 41, 20);
        m_combo.setFont(gothic);
        m_combo.AddItem("");
        for (int i = 1; i <= 30; ++i)
            m_combo.AddItem(std::to_string(i));
        m_combo.Click = [this] {
            std::printf("Combo %s\n", m_combo.Text().c_str());
            std::fflush(stdout);
        };

        m_gif.setName("aniGIF");
        m_gif.Move(20, 100, 120, 50);
        m_gif.setVisible(!m_gifFile.empty());
        m_gif.Click = [] { Say("Click GIF"); };
        m_gif.LoopsEnded = [] { Say("LoopsEnded"); };
        m_gif.RemoteLoadComplete = [](float width, float height, bool&) {
            std::printf("RemoteLoadComplete %d %d\n", static_cast<int>(width), static_cast<int>(height));
            std::fflush(stdout);
        };
        m_gif.RemoteLoadFailure = [] { Say("RemoteLoadFailure"); };
    }

protected:
    void Form_Load() override
    {
        if (m_gifFile.empty())
            return;
        m_gif.setStretch(4);
        if (m_remote)
            m_gif.LoadAnimatedGIF_Remote(m_gifFile);
        else if (!m_gif.LoadAnimatedGIF_File(m_gifFile))
            std::fprintf(stderr, "controls_demo: %s is not a GIF that loads\n", m_gifFile.c_str());
    }

private:
    static void Say(const char* line)
    {
        std::printf("%s\n", line);
        std::fflush(stdout);
    }

    std::string m_gifFile;
    bool m_remote;
    Command m_one{*this};
    Command m_two{*this};
    Command m_more{*this};
    forms::Label m_repeat{*this};
    forms::ComboBox m_combo{*this};
    AniGifControl m_gif{*this};
};

}  // namespace

int main(int argc, char** argv)
{
    const bool remote = argc > 2 && std::string_view(argv[1]) == "--remote";
    const std::string gifFile = remote ? argv[2] : argc > 1 ? argv[1] : "";
    forms::DesignDataResult design =
        forms::ParseDesignData(std::string_view(reinterpret_cast<const char*>(kControlsDemoDesign), kControlsDemoDesignSize));
    if (!design.data) {
        std::fprintf(stderr, "controls_demo: design data line %zu: %s\n", design.errorLine, design.error.c_str());
        return 1;
    }
    std::unique_ptr<UiSystem> ui = MakeUiSystem();
    if (!ui) {
        std::fprintf(stderr, "controls_demo: no display\n");
        return 1;
    }
    forms::App app(*ui, "", "");
    DemoForm form(app, *design.data, gifFile, remote);
    form.Show();
    app.Run();
    return 0;
}
