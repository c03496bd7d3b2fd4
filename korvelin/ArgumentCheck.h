#ifndef KORVELIN_ARGUMENTCHECK_H
#define KORVELIN_ARGUMENTCHECK_H

// What findInexactArgument returns when it finds no argument at fault.
constexpr int AllArgumentsExact = 0;
// What it returns when the caller's command line splits into another number of
// arguments than the program was given.
constexpr int ArgumentCountDiffers = -1;

// The runtime builds argv from the caller's (wide) command line through the system
// code page, which silently puts look-alikes ("best fit": a fullwidth letter becomes
// a plain one) or '?' in place of characters it cannot hold. A file name that went
// through that names another file, so it must not be acted on.
//
// Splits the wide command line by the runtime's own rules and compares: returns
// AllArgumentsExact when argv[1] .. argv[argc - 1] are exactly what the caller passed,
// ArgumentCountDiffers, or the index of the first argument that is not. The program's
// own path, argv[0], is not checked.
int findInexactArgument(int argc, char* argv[]);

#endif
