#include "format/context_format.h"

#include <cstring>

#include "format/fix32.h"
#include "format/value_format.h"
#include "report/dialog_state.h"

namespace {

using wintab::LOGCONTEXTW;

void FieldLabel(DialogState& state, const char16_t* name) { Append(state, u"\r\n  %-13s ", name); }

void SignedField(DialogState& state, const char16_t* name, int32_t value) {
  FieldLabel(state, name);
  Append(state, u"%d", value);
}

void TextField(DialogState& state, const char16_t* name, const char16_t* text) {
  FieldLabel(state, name);
  Append(state, u"%s", text);
}

}  // namespace

void AppendContext(DialogState& state, uint32_t* contextDevice) {
  if (contextDevice != nullptr) *contextDevice = 0;
  if (!AnswerHasSize(state, sizeof(LOGCONTEXTW))) return;

  LOGCONTEXTW context;
  std::memcpy(&context, state.queryBuffer, sizeof(context));
  if (contextDevice != nullptr) *contextDevice = context.lcDevice;

  // The name ends at its first zero unit, and never runs past its own 40
  // units into the fields behind it.
  char16_t name[wintab::kContextNameUnits + 1];
  std::memcpy(name, context.lcName, sizeof(context.lcName));
  name[wintab::kContextNameUnits] = 0;

  char16_t sensX[kFix32AreaUnits], sensY[kFix32AreaUnits], sensZ[kFix32AreaUnits];
  char16_t sysSensX[kFix32AreaUnits], sysSensY[kFix32AreaUnits];
  FormatFix32Display(sensX, context.lcSensX);
  FormatFix32Display(sensY, context.lcSensY);
  FormatFix32Display(sensZ, context.lcSensZ);
  FormatFix32Display(sysSensX, context.lcSysSensX);
  FormatFix32Display(sysSensY, context.lcSysSensY);

  Append(state, u"{");
  FieldLabel(state, u"lcName");
  const char16_t* nameText = name;
  Append(state, u"\"%s\"", nameText);
  FieldLabel(state, u"lcOptions");
  AppendFlagSet(state, context.lcOptions, kContextOptionFlags);
  FieldLabel(state, u"lcStatus");
  AppendFlagSet(state, context.lcStatus, kContextStatusFlags);
  FieldLabel(state, u"lcLocks");
  AppendFlagSet(state, context.lcLocks, kContextLockFlags);
  FieldLabel(state, u"lcMsgBase");
  Append(state, u"%u", context.lcMsgBase);
  FieldLabel(state, u"lcDevice");
  Append(state, u"%u", context.lcDevice);
  FieldLabel(state, u"lcPktRate");
  Append(state, u"%u", context.lcPktRate);
  FieldLabel(state, u"lcPktData");
  AppendPacketDataFlags(state, context.lcPktData);
  FieldLabel(state, u"lcPktMode");
  AppendPacketDataFlags(state, context.lcPktMode);
  FieldLabel(state, u"lcMoveMask");
  AppendPacketDataFlags(state, context.lcMoveMask);
  FieldLabel(state, u"lcBtnDnMask");
  Append(state, u"0x%08x", context.lcBtnDnMask);
  FieldLabel(state, u"lcBtnUpMask");
  Append(state, u"0x%08x", context.lcBtnUpMask);
  SignedField(state, u"lcInOrgX", context.lcInOrgX);
  SignedField(state, u"lcInOrgY", context.lcInOrgY);
  SignedField(state, u"lcInOrgZ", context.lcInOrgZ);
  SignedField(state, u"lcInExtX", context.lcInExtX);
  SignedField(state, u"lcInExtY", context.lcInExtY);
  SignedField(state, u"lcInExtZ", context.lcInExtZ);
  SignedField(state, u"lcOutOrgX", context.lcOutOrgX);
  SignedField(state, u"lcOutOrgY", context.lcOutOrgY);
  SignedField(state, u"lcOutOrgZ", context.lcOutOrgZ);
  SignedField(state, u"lcOutExtX", context.lcOutExtX);
  SignedField(state, u"lcOutExtY", context.lcOutExtY);
  SignedField(state, u"lcOutExtZ", context.lcOutExtZ);
  TextField(state, u"lcSensX", sensX);
  TextField(state, u"lcSensY", sensY);
  TextField(state, u"lcSensZ", sensZ);
  TextField(state, u"lcSysMode", context.lcSysMode != 0 ? u"TRUE" : u"FALSE");
  SignedField(state, u"lcSysOrgX", context.lcSysOrgX);
  SignedField(state, u"lcSysOrgY", context.lcSysOrgY);
  SignedField(state, u"lcSysExtX", context.lcSysExtX);
  SignedField(state, u"lcSysExtY", context.lcSysExtY);
  TextField(state, u"lcSysSensX", sysSensX);
  TextField(state, u"lcSysSensY", sysSensY);
  NewLine(state);
}
