// The record of everything the configuration can change, one per run: the
// run driver makes it with its defaults and hands it to each part that reads
// or writes it. It is never reset during a run: each settings element only
// overwrites what it names, and what the output pipeline moves on (the start
// y, the current output text) carries into the next displayoutput.
#pragma once

#include <cstdint>
#include <string>

namespace paneloom {

struct RunSettings {
    std::string configPath = "paneloom.xml";
    std::string inputBitmapPath = "Paneloom.bmp";
    std::string outputBitmapPath = "PaneloomInfo.bmp";
    bool useScreenDepth = false;
    std::int32_t backgroundStyle = 0;  // 0 center, 1 tile, 2 stretch, 3 fill, 4 fit
    // inputbmp: wallpaper="current" takes the picture the desktop shows now
    // (the named one only when it shows none); size="screen" composes the
    // picture at the screen's size, as wallpaper="current" always does.
    bool inputNamed = false;
    bool inputCurrentWallpaper = false;
    bool inputAtScreenSize = false;

    // Defaults of every text item; a textline or textat attribute overrides
    // one of them for that item only.
    std::int32_t textAlign = 0;  // 0 left, 1 center, 2 right
    std::int32_t textStartX = 30;
    std::int32_t textStartY = 30;
    std::uint32_t backgroundColor = 0x000000;  // 0x00BBGGRR
    std::int32_t transparent = 1;
    std::uint32_t textColor = 0xC8C8C8;
    std::int32_t fontWeight = 600;
    std::int32_t fontExtra = 1;
    std::int32_t fontPoints = 16;
    std::string fontFace = "Arial";
    std::string executablePath = "Paneloom.exe";
    std::string defaultOutputText =
        "<textline>%HOSTNAME%</textline><textline>%ADAPTER_IP_LIST%</textline>"
        "<textline>%OS% %SERVICEPACK%</textline>";
};

}  // namespace paneloom
