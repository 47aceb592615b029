#include "platform/win32/system_fallback.h"

#include <windows.h>
#include <dwrite_2.h>
#include <wrl/client.h>

#include "platform/win32/system_library.h"

namespace paneloom::platform {

namespace {

using Microsoft::WRL::ComPtr;

// The text DirectWrite asks about: one character, read left to right, in
// no particular locale. It lives on the caller's stack for one call, so
// its reference count only has to be answered.
class OneCharacter final : public IDWriteTextAnalysisSource {
public:
    explicit OneCharacter(wchar_t character) : character_(character) {}
    virtual ~OneCharacter() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
        if (id == __uuidof(IUnknown) || id == __uuidof(IDWriteTextAnalysisSource)) {
            *object = static_cast<IDWriteTextAnalysisSource*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE GetTextAtPosition(UINT32 position, const WCHAR** text, UINT32* length) override {
        *text = position == 0 ? &character_ : nullptr;
        *length = position == 0 ? 1 : 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTextBeforePosition(UINT32 position, const WCHAR** text, UINT32* length) override {
        *text = position == 1 ? &character_ : nullptr;
        *length = position == 1 ? 1 : 0;
        return S_OK;
    }
    DWRITE_READING_DIRECTION STDMETHODCALLTYPE GetParagraphReadingDirection() override {
        return DWRITE_READING_DIRECTION_LEFT_TO_RIGHT;
    }
    HRESULT STDMETHODCALLTYPE GetLocaleName(UINT32, UINT32* length, const WCHAR** locale) override {
        *locale = L"";
        *length = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetNumberSubstitution(UINT32, UINT32* length,
                                                    IDWriteNumberSubstitution** substitution) override {
        *substitution = nullptr;
        *length = 1;
        return S_OK;
    }

private:
    wchar_t character_;
};

using CreateFactoryFn = HRESULT(WINAPI*)(DWRITE_FACTORY_TYPE, REFIID, IUnknown**);

// The system fallback, made once per process; null where there is none.
IDWriteFontFallback* SystemFallback() {
    static ComPtr<IDWriteFontFallback> fallback = [] {
        ComPtr<IDWriteFontFallback> made;
        const HMODULE library = LoadSystemLibrary("dwrite.dll");
        if (library == nullptr) return made;
        const auto create = LookUpFunction<CreateFactoryFn>(library, "DWriteCreateFactory");
        ComPtr<IDWriteFactory2> factory;
        if (create == nullptr ||
            FAILED(create(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory2),
                          reinterpret_cast<IUnknown**>(factory.GetAddressOf())))) {
            return made;
        }
        factory->GetSystemFontFallback(made.GetAddressOf());
        return made;
    }();
    return fallback.Get();
}

// A family's name as GDI knows it: the English one where there is one.
std::wstring FamilyName(IDWriteFont* font) {
    ComPtr<IDWriteFontFamily> family;
    ComPtr<IDWriteLocalizedStrings> names;
    if (FAILED(font->GetFontFamily(family.GetAddressOf())) || FAILED(family->GetFamilyNames(names.GetAddressOf())))
        return std::wstring();
    UINT32 index = 0;
    BOOL exists = FALSE;
    if (FAILED(names->FindLocaleName(L"en-us", &index, &exists)) || !exists) index = 0;
    UINT32 length = 0;
    if (names->GetCount() == 0 || FAILED(names->GetStringLength(index, &length))) return std::wstring();
    std::wstring name(length + 1, L'\0');
    if (FAILED(names->GetString(index, &name[0], length + 1))) return std::wstring();
    name.resize(length);
    return name;
}

}  // namespace

std::wstring SystemFallbackFace(const std::wstring& face, char16_t character) {
    IDWriteFontFallback* fallback = SystemFallback();
    if (fallback == nullptr) return std::wstring();
    OneCharacter source(static_cast<wchar_t>(character));
    UINT32 mapped = 0;
    ComPtr<IDWriteFont> font;
    FLOAT scale = 1.0f;
    if (FAILED(fallback->MapCharacters(&source, 0, 1, nullptr, face.c_str(), DWRITE_FONT_WEIGHT_NORMAL,
                                       DWRITE_FONT_STYLE_NORMAL, DWRITE_FONT_STRETCH_NORMAL, &mapped,
                                       font.GetAddressOf(), &scale)) ||
        font == nullptr) {
        return std::wstring();
    }
    return FamilyName(font.Get());
}

}  // namespace paneloom::platform
