// Read before every test source that the MSVC-mode check compiles: what libc++ takes
// from Visual C++'s C runtime headers and Wine's do not declare. ucrtbase.dll has them.
#pragma once
#include <corecrt.h>

#ifdef __cplusplus
extern "C" {
#endif

struct timespec {
    time_t tv_sec;
    long tv_nsec;
};

_ACRTIMP int __cdecl ___mb_cur_max_func(void);
#define MB_CUR_MAX ___mb_cur_max_func()
_ACRTIMP double __cdecl _strtod_l(const char* text, char** end, _locale_t locale);
_ACRTIMP float __cdecl _strtof_l(const char* text, char** end, _locale_t locale);
_ACRTIMP int __cdecl _isupper_l(int character, _locale_t locale);
_ACRTIMP int __cdecl _islower_l(int character, _locale_t locale);

#ifdef __cplusplus
}

// Visual C++'s math.h has these as functions in C++, and libc++ relies on it; Wine's
// has them as macros, which libc++ takes away.
#include <math.h>
#define KORVELIN_CLASSIFY(name)                                                                    \
    inline bool name(float x)                                                                      \
    {                                                                                              \
        return __builtin_##name(x);                                                                \
    }                                                                                              \
    inline bool name(double x)                                                                     \
    {                                                                                              \
        return __builtin_##name(x);                                                                \
    }                                                                                              \
    inline bool name(long double x)                                                                \
    {                                                                                              \
        return __builtin_##name(x);                                                                \
    }
KORVELIN_CLASSIFY(isnan)
KORVELIN_CLASSIFY(isinf)
KORVELIN_CLASSIFY(isfinite)
KORVELIN_CLASSIFY(signbit)
#undef KORVELIN_CLASSIFY
#endif
