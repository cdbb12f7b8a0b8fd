#pragma once

// The settings dialog "<Papyrant>": the music source (none, audio CD, a music file) as three picture
// radio choices, the CD track to repeat, the music file chosen through the open-file dialog; Set saves
// the settings and closes, Cancel closes without saving. The animated picture in the lower left corner
// opens the home page. It opens and closes with the zoom animation between the mouse position and the
// window.

#include <array>
#include <string>

#include "controls/anigif/ani_gif_control.h"
#include "controls/button/command.h"
#include "forms/combo_box.h"
#include "forms/controls.h"
#include "forms/form.h"
#include "forms/label.h"
#include "forms/property_bag.h"
#include "forms/shape.h"
#include "platform/desktop_shell.h"
#include "saver/dialog_look.h"
#include "saver/saver_system.h"
#include "settings/settings.h"

namespace pap {

class Papyrant_P : public forms::Form {
public:
    Papyrant_P(forms::App& app, MusicSettingsRecord& settings, SaverSystem& system, DesktopShell& shell);
    ~Papyrant_P() override;

    // A click on a radio picture or its label.
    void SelectMusicType(int index);

    // The mouse position when the dialog loaded, where both zoom animations start or end.
    struct Point16 {
        int16_t x = 0;
        int16_t y = 0;
    };
    Point16 ZoomPoint;

    // The controls, in drawing order (all inside the background picture box).
    forms::PictureBox Pic_C;
    forms::Image Image1;
    std::array<forms::Shape, 2> Shape_1;
    std::array<forms::Shape, 2> Shape_2;
    std::array<forms::Label, 2> lbl;
    std::array<forms::Image, 3> Img_BGM;
    std::array<forms::Label, 3> lbl_BGM;
    forms::ComboBox BGM_Repeat;
    Command Cmd_File;
    forms::Label lbl_Fname;
    AniGifControl ucAniGIF1;
    Command Cmd_Set;
    Command Cmd_Can;
    // The radio pictures: not selected (0) and selected (1); the Opt pair at load, the Ra pair after a click.
    std::array<forms::Image, 2> Img_Opt;
    std::array<forms::Image, 2> Img_Ra;

protected:
    void Form_Load() override;
    void Form_Unload(int& Cancel) override;

private:
    void InitButtons();
    void ChooseFile();
    void SetClick();
    void OpenHomePage();
    void ZoomOpen();
    void ZoomClose();
    void setCommandEnabled(Command& button, bool enabled);

    MusicSettingsRecord& m_settings;
    SaverSystem& m_system;
    DesktopShell& m_shell;
    forms::DesignData m_design;
};

}  // namespace pap
