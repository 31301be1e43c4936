// The thirty-four public DEVMODEW fields of a context's record (items 1..34): their defaults from
// the model defaults, their validation against the model description, and the merge of a
// caller's public fields into the record.
//
// Each field has a validation step and a default step; both sequences run in DEVMODEW order and
// keep the dmFields bits in step with the fields. A field the model describes keeps a value that
// fits the description's kind (1 list, 4 Boolean, 8 range, 257 paper list, 513 tray list);
// anything else falls back to its default. Every routine works on the context's own record and
// does nothing for a context without one.
#pragma once

#include "settings/context/driver_context.h"
#include "win32.h"

// Call types of DmPreparePublic.
constexpr int kPublicValidate = 1;          // validate the fields as they stand
constexpr int kPublicFromPrinter = 2;       // item defaults, the printer's devmode, then validate
// Any other call type sets every field to its default.

// Validates (call type 1), resets every item to its model default and takes the printer's
// devmode when it matches before validating (call type 2), or sets the defaults (any other).
void DmPreparePublic(DriverContext* context, int callType);

// The default step of every field in order. dmFields is written as the model's public mask
// (0x7F03) first, so a fresh record ends with exactly that mask: the later steps set or clear
// only bits the mask already says.
void DmSetPublicDefaults(DriverContext* context);

// The validation step of every field in order; a value that fails runs the field's default step.
// dmCollate follows whether collation is available (CapsCanCollate) and, when its bit was clear,
// the sort item 64.
void DmValidatePublic(DriverContext* context);

// Judges the public fields of a devmode taken as it was stored, as the merge judges a caller's:
// source, orientation, paper, scale, copies, print quality, duplex, colour, TrueType option,
// colour management and media type; a value refused takes the model default. The paper's
// lengths are bounded where the geometry is derived (DmDeriveSrcPaperCustom).
void DmCheckStoredPublic(DriverContext* context);

// Merges the public fields of `incoming` (a record-sized devmode: the caller's after version
// conversion, as the record merge hands it) into the record. Only fields whose bit the incoming
// dmFields sets are considered, in this order: source, orientation, paper (custom size, paper
// value with free sizes, orientation only, form name), scale, copies, print quality (with the
// resolution fit check unless the work area's merge flags hold 0x10000000), duplex, colour,
// TrueType option, collate (always: from the incoming bit or item 64), ICM method and intent,
// dither type, media type. A value the field validators refuse takes the model default: the
// model's default when the model describes the field, else the model defaults record's. A kept
// dmMediaType changes no dmFields bit. Nothing happens for a null `incoming`.
void DmMergePublicFields(DriverContext* context, const PrivateDevmode* incoming);
