// The printers every renderer is built for: renderers are templates defined in their own
// source files and instantiated there, once per printer.
#pragma once

#include "report/explain_printer.h"
#include "report/json_printer.h"
#include "report/text_printer.h"
#include "report/walk.h"

// Instantiates `bool name(Walk<Printer>&, args...)` for every printer.
#define SYMDECK_INSTANTIATE(name, ...)                                        \
    template bool name(Walk<TextPrinter>& __VA_OPT__(, ) __VA_ARGS__);        \
    template bool name(Walk<JsonPrinter>& __VA_OPT__(, ) __VA_ARGS__);       \
    template bool name(Walk<ExplainPrinter>& __VA_OPT__(, ) __VA_ARGS__)
