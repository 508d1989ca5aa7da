// Built only with the mingw-w64 toolchain (GCC's libstdc++), for the shipped exe.
//
// The program is built without exceptions, but libstdc++'s headers still call
// its internal helpers std::__throw_length_error and the like when, say, a
// string would outgrow its maximum size. libstdc++'s own definitions throw,
// and linking them drags in the whole exception machinery (about a third of
// the exe). Defining them here to end the program, as the out-of-memory policy
// does, keeps it out. This leans on a libstdc++ detail: the exe is linked with
// __cxa_throw wrapped and the wrapper left undefined, so if a libstdc++ ever
// throws from a helper not defined here, the link fails instead of the
// program throwing.
#include <cstdlib>

#if defined(__GLIBCXX__)
namespace std {

[[noreturn]] void __throw_bad_alloc() { std::abort(); }
[[noreturn]] void __throw_bad_array_new_length() { std::abort(); }
[[noreturn]] void __throw_length_error(const char*) { std::abort(); }
[[noreturn]] void __throw_logic_error(const char*) { std::abort(); }
[[noreturn]] void __throw_out_of_range(const char*) { std::abort(); }
[[noreturn]] void __throw_out_of_range_fmt(const char*, ...) { std::abort(); }
[[noreturn]] void __throw_invalid_argument(const char*) { std::abort(); }

}  // namespace std
#endif
