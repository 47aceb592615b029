#include "platform/win32/uniscribe.h"

#include "platform/win32/system_library.h"

namespace paneloom::platform {

namespace {

Uniscribe Bind() {
    Uniscribe functions;
    const HMODULE library = LoadSystemLibrary("usp10.dll");
    if (library == nullptr) return functions;
    functions.itemize = LookUpFunction<decltype(functions.itemize)>(library, "ScriptItemize");
    functions.shape = LookUpFunction<decltype(functions.shape)>(library, "ScriptShape");
    functions.place = LookUpFunction<decltype(functions.place)>(library, "ScriptPlace");
    functions.textOut = LookUpFunction<decltype(functions.textOut)>(library, "ScriptTextOut");
    functions.layout = LookUpFunction<decltype(functions.layout)>(library, "ScriptLayout");
    functions.freeCache = LookUpFunction<decltype(functions.freeCache)>(library, "ScriptFreeCache");
    functions.properties = LookUpFunction<decltype(functions.properties)>(library, "ScriptGetProperties");
    return functions;
}

}  // namespace

const Uniscribe* LoadUniscribe() {
    static const Uniscribe functions = Bind();
    const bool complete = functions.itemize != nullptr && functions.shape != nullptr && functions.place != nullptr &&
                          functions.textOut != nullptr && functions.layout != nullptr &&
                          functions.freeCache != nullptr && functions.properties != nullptr;
    return complete ? &functions : nullptr;
}

}  // namespace paneloom::platform
