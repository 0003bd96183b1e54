#pragma once

#include "services/types.h"

// Does `t` begin with a GB2312 Hanzi code (first byte 0xB0..0xF7, second 0xA1..0xFE)?
bool isGb2312Hanzi(const Text& t);

// The image host's folder name for a catalogue label: each GB2312 Hanzi becomes its first
// pinyin reading, every other character its half-width form.
Text toPinyinSegment(const Text& label);
