// The names of the bits of the six flag sets, in the order in which they are
// tested and printed. Two sets do not follow the order of the bit values.
#include "format/value_format.h"

namespace {

template <size_t N>
constexpr FlagSet SetOf(const FlagName (&flags)[N]) {
  return FlagSet{flags, N};
}

constexpr FlagName kPacketDataNames[] = {
    {0x0001, u"CONTEXT "},       {0x0002, u"STATUS "},          {0x0004, u"TIME "},
    {0x0008, u"CHANGED "},       {0x0010, u"SERIAL_NUMBER "},   {0x0020, u"CURSOR "},
    {0x0040, u"BUTTONS "},       {0x0080, u"X "},               {0x0100, u"Y "},
    {0x0200, u"Z "},             {0x0400, u"NORMAL_PRESSURE "}, {0x0800, u"TANGENT_PRESSURE "},
    {0x1000, u"ORIENTATION "},   {0x2000, u"ROTATION "},
};

constexpr FlagName kHardwareNames[] = {
    {0x0001, u"INTEGRATED "},
    {0x0002, u"TOUCH "},
    {0x0004, u"HARDPROX "},
    {0x0008, u"PHYSID_CURSORS "},
};

constexpr FlagName kCapabilityNames[] = {
    {0x0001, u"MULTIMODE "},
    {0x0002, u"AGGREGATE "},
    {0x0004, u"INVERT "},
};

// MARGIN and MGNINSIDE are tested before CSRMESSAGES.
constexpr FlagName kContextOptionNames[] = {
    {0x0001, u"SYSTEM "}, {0x0002, u"PEN "},       {0x0004, u"MESSAGES "},
    {0x8000, u"MARGIN "}, {0x4000, u"MGNINSIDE "}, {0x0008, u"CSRMESSAGES "},
};

constexpr FlagName kContextStatusNames[] = {
    {0x0001, u"DISABLED "},
    {0x0002, u"OBSCURED "},
    {0x0004, u"ONTOP "},
};

// MARGIN (0x0008) is tested before SENSITIVITY (0x0004).
constexpr FlagName kContextLockNames[] = {
    {0x0001, u"INSIZE "}, {0x0002, u"INASPECT "}, {0x0008, u"MARGIN "},
    {0x0004, u"SENSITIVITY "}, {0x0010, u"SYSOUT "},
};

}  // namespace

const FlagSet kPacketDataFlags = SetOf(kPacketDataNames);
const FlagSet kHardwareFlags = SetOf(kHardwareNames);
const FlagSet kCapabilityFlags = SetOf(kCapabilityNames);
const FlagSet kContextOptionFlags = SetOf(kContextOptionNames);
const FlagSet kContextStatusFlags = SetOf(kContextStatusNames);
const FlagSet kContextLockFlags = SetOf(kContextLockNames);
