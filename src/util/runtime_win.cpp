// Replacements for the C++ run-time's error throwers in the Windows build.
//
// The library's own versions build std::logic_error and friends, which
// carry a reference-counted string of the old library ABI: linking them
// pulls in a second complete string implementation (about 45 KiB of a
// program meant to be downloaded). These throw one small exception type
// that carries the run-time's fixed message text instead; nothing in this
// program catches the standard types by name, and the entry point reports
// what() of any std::exception that escapes.
#include <cstdarg>
#include <exception>
#include <functional>
#include <new>

namespace {

class RuntimeFailure final : public std::exception {
 public:
  explicit RuntimeFailure(const char* what) : what_(what ? what : "run-time failure") {}
  const char* what() const noexcept override { return what_; }

 private:
  const char* what_;
};

}  // namespace

namespace std {

void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_bad_array_new_length() { throw std::bad_alloc(); }
void __throw_bad_function_call() { throw RuntimeFailure("bad function call"); }
void __throw_bad_cast() { throw RuntimeFailure("bad cast"); }
void __throw_bad_typeid() { throw RuntimeFailure("bad typeid"); }
void __throw_bad_exception() { throw RuntimeFailure("bad exception"); }
void __throw_logic_error(const char* s) { throw RuntimeFailure(s); }
void __throw_domain_error(const char* s) { throw RuntimeFailure(s); }
void __throw_invalid_argument(const char* s) { throw RuntimeFailure(s); }
void __throw_length_error(const char* s) { throw RuntimeFailure(s); }
void __throw_out_of_range(const char* s) { throw RuntimeFailure(s); }
// The format names the values; the fixed part is enough for a report.
void __throw_out_of_range_fmt(const char* fmt, ...) { throw RuntimeFailure(fmt); }
void __throw_runtime_error(const char* s) { throw RuntimeFailure(s); }
void __throw_range_error(const char* s) { throw RuntimeFailure(s); }
void __throw_overflow_error(const char* s) { throw RuntimeFailure(s); }
void __throw_underflow_error(const char* s) { throw RuntimeFailure(s); }

}  // namespace std
