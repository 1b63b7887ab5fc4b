#include "pen/pen_verdict_text.h"

#include <initializer_list>

#include "format/text_format.h"
#include "pen/pen_tally.h"

namespace {

// The verdicts whose text has no number in it; null for the others.
const char16_t* PlainVerdictText(PenVerdict verdict) {
  switch (verdict) {
    case PenVerdict::libraryBrokeCount:
      return u"the library failed: WTPacketsGet() answered another count than the 1 packet asked";
    case PenVerdict::libraryNotEnabled:
      return u"the library failed: WTEnable(TRUE) answered 0 and no packets came";
    case PenVerdict::hiddenWindow:
      return u"no packets came to the check's hidden window: some libraries deliver packets only to a window "
             u"under the pen; run the check again with --pen-window";
    case PenVerdict::noPackets:
      return u"no packets came: was the pen moved over the tablet during the check?";
    case PenVerdict::noPressureField:
      return u"the packets carry no pressure: lcPktData lacks PK_NORMAL_PRESSURE";
    case PenVerdict::onlyHovered:
      return u"the pen only hovered: no packet was in contact with the tablet; press the tip on the tablet "
             u"during the check";
    case PenVerdict::pressureZero:
      return u"pressure never left 0 while the tip touched the tablet";
    default:
      return nullptr;
  }
}

size_t Format(char16_t* text, size_t capacity, const char16_t* format,
              std::initializer_list<textformat::FormatArg> args) {
  return textformat::FormatPiece(text, capacity, format, args.begin(), args.size()).stored;
}

}  // namespace

size_t PenVerdictText(const PenSession& session, char16_t* text, size_t capacity) {
  using textformat::MakeArg;
  if (capacity == 0) return 0;
  text[0] = 0;
  const ContactTally& contact = ContactOf(session.tally, session.layout.fields);
  if (const char16_t* plain = PlainVerdictText(session.verdict)) return Format(text, capacity, u"%s", {MakeArg(plain)});
  switch (session.verdict) {
    case PenVerdict::libraryFaulted:
      return Format(text, capacity, u"the library failed: %s faulted (see its row above)",
                    {MakeArg(session.enableFaulted ? u"WTEnable(TRUE)" : u"WTPacketsGet()")});
    case PenVerdict::pressureFixed:
      return Format(text, capacity, u"pressure never changed (always %u) while the tip touched the tablet",
                    {MakeArg(contact.pressureMin)});
    case PenVerdict::tipNotReleased:
      return Format(text, capacity,
                    u"pressure stayed at %u or more after the tip lifted (near zero is up to %u): a worn or stuck "
                    u"tip, or a driver that does not release pressure",
                    {MakeArg(contact.liftedPressureMin), MakeArg(NearZeroPressure(session))});
    case PenVerdict::lowPressureRange:
      return Format(text, capacity,
                    u"pressure reached only %u%% of the device's range: press harder, or check the pen's pressure "
                    u"settings in the driver",
                    {MakeArg(PressureShare(session, contact.pressureMax))});
    default:
      return 0;  // none
  }
}
