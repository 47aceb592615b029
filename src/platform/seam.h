// The seam between the portable program and the operating system.
//
// Each concern (process, files, clock, ...) is one abstract interface with one
// real implementation per platform, in win32/ and linux/. Portable code reaches
// it through Get<Interface>(); a test can put a fake in front of the real one
// for its own scope with ScopedFake, so the logic above the seam is driven with
// any record the test likes.
//
// Adding a concern: one header here declaring the interface and
// `template <> Interface& RealImpl<Interface>();`, and one .cpp in each of
// win32/ and linux/ defining that specialisation.
#pragma once

namespace paneloom::platform {

template <class Interface>
Interface& RealImpl();

template <class Interface>
struct FakeSlot {
    static inline Interface* fake = nullptr;
};

template <class Interface>
Interface& Get() {
    Interface* fake = FakeSlot<Interface>::fake;
    return fake != nullptr ? *fake : RealImpl<Interface>();
}

// Routes Get<Interface>() to `fake` until the object goes out of scope.
template <class Interface>
class ScopedFake {
public:
    explicit ScopedFake(Interface& fake) : previous_(FakeSlot<Interface>::fake) {
        FakeSlot<Interface>::fake = &fake;
    }
    ~ScopedFake() { FakeSlot<Interface>::fake = previous_; }
    ScopedFake(const ScopedFake&) = delete;
    ScopedFake& operator=(const ScopedFake&) = delete;

private:
    Interface* previous_;
};

}  // namespace paneloom::platform
