#include "app/preview.h"

#include "app/console_log.h"
#include "app/run_main.h"
#include "config/markup.h"
#include "render/picture_file.h"

namespace paneloom {

namespace {

class PreviewEffects final : public RunEffects {
public:
    PreviewEffects(const std::string& out, const std::string& configPath) : out_(out), configPath_(configPath) {}

    void ResolveConfiguration(RunSettings& settings) override { settings.configPath = configPath_; }
    void ApplyStyle(std::int32_t) override {}
    bool WriteResult(const RunSettings& settings, platform::BitmapHandle bitmap,
                     platform::PaletteHandle palette) override {
        written_ = WritePicture(out_, bitmap, settings.useScreenDepth ? palette : nullptr);
        return written_;
    }
    void SetWallpaper(const std::string&) override {}

    bool Written() const { return written_; }

private:
    std::string out_;
    std::string configPath_;
    bool written_ = false;
};

}  // namespace

int Preview(const std::string& out, const std::string& configPath) {
    ErrorsToConsole errors;
    ScopedLogDestination toConsole(errors);
    std::string document;
    if (!LoadFile(configPath, document)) {
        // A run would end here without a word and with exit code 0.
        TellError("Could not read the configuration <" + configPath + ">: a run would draw nothing.\n");
        return kExitDone;
    }
    RunContext context;
    PreviewEffects effects(out, configPath);
    const int code = RunMain(context, effects);
    if (code == kExitDone && !effects.Written()) return 1;
    return code;
}

}  // namespace paneloom
