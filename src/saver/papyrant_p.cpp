#include "saver/papyrant_p.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <span>
#include <string_view>

#include "forms/text_layout.h"
#include "gfx/artwork.h"
#include "saver/dialog_assets.h"

namespace pap {
namespace {

const FontSpec kDialogFont{"ＭＳ Ｐゴシック", 9.75, 400, false, false, false, 128};

gfx::Surface Artwork(const uint8_t* data, size_t size)
{
    std::optional<gfx::Surface> picture = gfx::DecodePng(std::span<const uint8_t>(data, size));
    return picture ? std::move(*picture) : gfx::Surface();
}

forms::DesignData DialogDesign()
{
    forms::DesignDataResult parsed =
        forms::ParseDesignData(std::string_view(reinterpret_cast<const char*>(kDialogDesign), kDialogDesignSize));
    if (!parsed.data)
        return {};
    forms::ResolveAssets(*parsed.data, [](std::string_view asset) -> std::optional<std::vector<uint8_t>> {
        if (asset == "settings_anim.gif")
            return std::vector<uint8_t>(kDialogGif, kDialogGif + kDialogGifSize);
        return std::nullopt;
    });
    return std::move(*parsed.data);
}

// "##": the decimal digits, nothing for 0.
std::string TrackText(int value) { return value == 0 ? std::string() : std::to_string(value); }

}  // namespace

Papyrant_P::Papyrant_P(forms::App& app, MusicSettingsRecord& settings, SaverSystem& system, DesktopShell& shell)
    : Form(app, "<Papyrant>"),
      Pic_C(*this, forms::PictureBox::Border::None),
      Image1(*this, false, &Pic_C),
      Shape_1{forms::Shape(*this, &Pic_C), forms::Shape(*this, &Pic_C)},
      Shape_2{forms::Shape(*this, &Pic_C), forms::Shape(*this, &Pic_C)},
      lbl{forms::Label(*this, &Pic_C), forms::Label(*this, &Pic_C)},
      Img_BGM{forms::Image(*this, false, &Pic_C), forms::Image(*this, false, &Pic_C),
              forms::Image(*this, false, &Pic_C)},
      lbl_BGM{forms::Label(*this, &Pic_C), forms::Label(*this, &Pic_C), forms::Label(*this, &Pic_C)},
      BGM_Repeat(*this, &Pic_C),
      Cmd_File(*this, &Pic_C),
      lbl_Fname(*this, &Pic_C),
      ucAniGIF1(*this, &Pic_C),
      Cmd_Set(*this, &Pic_C),
      Cmd_Can(*this, &Pic_C),
      Img_Opt{forms::Image(*this, false, &Pic_C), forms::Image(*this, false, &Pic_C)},
      Img_Ra{forms::Image(*this, false, &Pic_C), forms::Image(*this, false, &Pic_C)},
      m_settings(settings),
      m_system(system),
      m_shell(shell),
      m_design(DialogDesign())
{
    setDesignData(&m_design);
    setScaleMode(forms::ScaleMode::Pixels);
    setFont(kDialogFont);

    Pic_C.setName("Pic_C");
    Pic_C.Move(0, 0, 450, 319);
    gfx::Blit(Pic_C.hDC(), 0, 0, Artwork(kDialogBackgroundPng, kDialogBackgroundPngSize));

    Image1.setName("Image1");
    Image1.Move(20, 24, 32, 32);
    Image1.setPicture(Artwork(kDialogIconPng, kDialogIconPngSize));

    for (int i = 0; i < 2; ++i) {
        Shape_1[i].setName("Shape_1", i);
        Shape_1[i].Move(20, 76, 393, 153);
        Shape_2[i].setName("Shape_2", i);
        Shape_2[i].Move(32, 88, 125, 21);
        // Element 1 moves 2 pixels up and left at load and is drawn over element 0: dark above, light below.
        Shape_1[i].setBorderColor(i == 0 ? kFrameLight : kFrameDark);
        Shape_2[i].setBorderColor(i == 0 ? kFrameLight : kFrameDark);
    }

    struct LabelPlace {
        forms::Label& label;
        const char* name;
        int index;
        int x, y, width, height;
        const char* caption;
    };
    for (const LabelPlace& place : {LabelPlace{lbl[0], "lbl", 0, 32, 92, 123, 13, "BGM"},
                                    LabelPlace{lbl_BGM[1], "lbl_BGM", 1, 56, 124, 43, 13, "音楽CD"},
                                    LabelPlace{lbl[1], "lbl", 1, 152, 124, 77, 13, "曲目をリピート"},
                                    LabelPlace{lbl_BGM[0], "lbl_BGM", 0, 52, 140, 22, 13, "なし"},
                                    LabelPlace{lbl_BGM[2], "lbl_BGM", 2, 52, 156, 60, 13, "MP3、WAV"},
                                    LabelPlace{lbl_Fname, "lbl_Fname", -1, 76, 176, 325, 37, ""}}) {
        place.label.setName(place.name, place.index);
        place.label.Move(place.x, place.y, place.width, place.height);
        place.label.setFont(kDialogFont);
        place.label.setBackStyle(0);
        place.label.setCaption(place.caption);
        // A caption wider than its place in this system's face grows the label rather than being cut.
        if (place.label.Name() != "lbl_Fname")
            place.label.setWidth(
                std::max<double>(place.width, TextBoxWidth(app.text(), kDialogFont, place.caption) + 1));
    }
    lbl[0].setAlignment(TextAlign::Center);
    lbl_Fname.setWordWrap(true);

    const int radioTop[3] = {140, 124, 156};
    for (int i = 0; i < 3; ++i) {
        Img_BGM[i].setName("Img_BGM", i);
        Img_BGM[i].Move(36, radioTop[i], 13, 13);
        Img_BGM[i].Click = [this, i] { SelectMusicType(i); };
        lbl_BGM[i].Click = [this, i] { SelectMusicType(i); };
    }

    BGM_Repeat.setName("BGM_Repeat");
    BGM_Repeat.Move(108, 120, 41, 20);
    BGM_Repeat.setFont(kDialogFont);

    struct ButtonPlace {
        Command& button;
        const char* name;
        int x, y, width, height;
    };
    for (const ButtonPlace& place : {ButtonPlace{Cmd_File, "Cmd_File", 48, 172, 25, 21},
                                     ButtonPlace{Cmd_Set, "Cmd_Set", 248, 256, 81, 25},
                                     ButtonPlace{Cmd_Can, "Cmd_Can", 332, 256, 81, 25}}) {
        place.button.setName(place.name);
        place.button.Move(place.x, place.y, place.width, place.height);
    }
    Cmd_File.Click = [this] { ChooseFile(); };
    Cmd_Set.Click = [this] { SetClick(); };
    Cmd_Can.Click = [this] { Unload(); };

    ucAniGIF1.setName("ucAniGIF1");
    ucAniGIF1.Move(20, 236, 120, 50);
    ucAniGIF1.Click = [this] { OpenHomePage(); };

    // The radio pictures lie right of the background, outside what the window shows.
    const gfx::Surface opt[2] = {Artwork(kRadioOpt0Png, kRadioOpt0PngSize), Artwork(kRadioOpt1Png, kRadioOpt1PngSize)};
    const gfx::Surface ra[2] = {Artwork(kRadioRa0Png, kRadioRa0PngSize), Artwork(kRadioRa1Png, kRadioRa1PngSize)};
    for (int i = 0; i < 2; ++i) {
        Img_Opt[i].setName("Img_Opt", i);
        Img_Opt[i].Move(460 + 16 * i, 0, 12, 12);
        Img_Opt[i].setPicture(opt[i]);
        Img_Ra[i].setName("Img_Ra", i);
        Img_Ra[i].Move(460 + 16 * i, 16, 12, 12);
        Img_Ra[i].setPicture(ra[i]);
    }
}

Papyrant_P::~Papyrant_P() = default;

void Papyrant_P::Form_Load()
{
    const forms::ScreenInfo& screen = app().Screen();
    // 1. The window takes the background's size.
    const double width = Pic_C.Width() * screen.TwipsPerPixelX;
    const double height = Pic_C.Height() * screen.TwipsPerPixelY;
    // 2. Centred across, a third of the free height above (integer division of whole twips).
    const long long left = (std::llround(screen.Width) - std::llround(width)) / 2;
    const long long top = (std::llround(screen.Height) - std::llround(height)) / 3;
    Move(static_cast<double>(left), static_cast<double>(top), width, height);
    // 3, 4.
    InitButtons();
    Pic_C.Refresh();
    // 5. Each frame's second line, 2 pixels up and left of the first.
    Shape_1[1].Move(Shape_1[0].Left() - 2, Shape_1[0].Top() - 2, Shape_1[1].Width(), Shape_1[1].Height());
    Shape_2[1].Move(Shape_2[0].Left() - 2, Shape_2[0].Top() - 2, Shape_2[1].Width(), Shape_2[1].Height());
    // 6-9. The marked choice and what it enables; a type outside 0..2 marks none.
    BGM_Repeat.setEnabled(false);
    for (forms::Image& picture : Img_BGM)
        picture.setPicture(Img_Opt[0].Picture());
    const int type = m_settings.MusicType;
    if (type >= 0 && type <= 2)
        Img_BGM[type].setPicture(Img_Opt[1].Picture());
    if (type == 1)
        BGM_Repeat.setEnabled(true);
    setCommandEnabled(Cmd_File, type == 2);
    // 10, 11.
    BGM_Repeat.setText(TrackText(m_settings.RepeatTrack));
    for (int track = 0; track <= 30; ++track)
        BGM_Repeat.AddItem(TrackText(track));
    // 12.
    lbl_Fname.setCaption(m_settings.MusicFile);
    // 13-15.
    std::optional<std::pair<int, int>> cursor = app().ui().cursorPos();
    ZoomPoint = cursor ? Point16{static_cast<int16_t>(cursor->first), static_cast<int16_t>(cursor->second)} : Point16{};
    ZoomOpen();
    app().ui().setScreenPointer(PointerShape::Default);
}

void Papyrant_P::Form_Unload(int& /*Cancel*/) { ZoomClose(); }

void Papyrant_P::InitButtons()
{
    for (Command* button : {&Cmd_File, &Cmd_Set, &Cmd_Can})
        button->Initialize();
}

void Papyrant_P::SelectMusicType(int index)
{
    m_settings.MusicType = static_cast<int16_t>(index);
    setCommandEnabled(Cmd_File, false);
    BGM_Repeat.setEnabled(false);
    for (forms::Image& picture : Img_BGM)
        picture.setPicture(Img_Ra[0].Picture());
    Img_BGM[index].setPicture(Img_Ra[1].Picture());
    if (index == 1)
        BGM_Repeat.setEnabled(true);
    if (index == 2)
        setCommandEnabled(Cmd_File, true);
}

void Papyrant_P::ChooseFile()
{
    OpenFileRequest request;
    request.owner = hWnd();
    request.filterDescription = "BGMﾌｧｲﾙ (MP3 WAV)";
    request.filterPattern = "*.MP3;*.WAV";
    request.initialDirectory = m_settings.BrowseDir;
    request.title = "ﾌｧｲﾙを開く";
    std::optional<std::string> chosen = m_shell.chooseOpenFile(request);
    if (!chosen)
        return;
    m_settings.MusicFile = *chosen;
    lbl_Fname.setCaption(m_settings.MusicFile);
    m_settings.BrowseDir = DirectoryOf(m_settings.MusicFile);
}

void Papyrant_P::SetClick()
{
    m_settings.RepeatTrack = RepeatTrackFromText(BGM_Repeat.Text(), m_settings.RepeatTrack);
    m_system.saveSettings(m_settings);
    Unload();
}

void Papyrant_P::OpenHomePage()
{
    app().ui().setScreenPointer(PointerShape::Hourglass);
    m_shell.openAddress(hWnd(), kHomePageAddress);
    app().ui().setScreenPointer(PointerShape::Default);
}

void Papyrant_P::ZoomOpen()
{
    const ScreenRect from{ZoomPoint.x, ZoomPoint.y, ZoomPoint.x, ZoomPoint.y};
    const ScreenRect to = app().ui().windowRect(hWnd()).value_or(ScreenRect{});
    m_shell.zoomRect(hWnd(), from, to);
}

void Papyrant_P::ZoomClose()
{
    const ScreenRect from = app().ui().windowRect(hWnd()).value_or(ScreenRect{});
    const ScreenRect to{ZoomPoint.x, ZoomPoint.y, ZoomPoint.x, ZoomPoint.y};
    m_shell.zoomRect(hWnd(), from, to);
}

void Papyrant_P::setCommandEnabled(Command& button, bool enabled) { button.EnabledLet(enabled ? Command::kTrue : 0); }

}  // namespace pap
