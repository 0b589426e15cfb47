// The compilation state and the records it is built from.
//
// TRawScript is also the record that a host passes to the step-by-step entry
// points, so it is a standard-layout record, valid when zero-filled, with its
// fields in the documented order; texts and lists are TGrowArrays
// (compiler_text.h). The compiler's private indexes hang off the last field,
// `Work`, which AfterCompiling frees.
#pragma once

#include <cstdint>
#include <type_traits>

#include "base/grow_array.h"
#include "base/image_format.h"
#include "compiler/compiler_text.h"

// Where a line of ScriptText came from.
struct TOneScriptLine {
  int32_t ModuleIndex;  // index in ScriptModules; kMainScriptModule for the main script
  uint32_t LineNumber;  // 1-based, within that module's file
};
constexpr int32_t kMainScriptModule = -1;
// The module of a label (or a reference) that is visible from every module.
constexpr int32_t kAnyModule = -2;

struct TOneLabelInfo {
  uint32_t OffsetInSection;
  int32_t ModuleIndex;  // the defining line's module, or kAnyModule
  bool SectionGlobal;   // visible from every section
};

struct TOneLabelReference {
  TCompilerText Name;
  TCompilerAnsiText Section;   // section to search; empty: section-global labels of all
  int32_t SectionWhere;        // section that holds the placeholder
  int32_t Module;              // kAnyModule or the referring line's module
  uint32_t LabelOffsetInFile;  // placeholder offset within section SectionWhere
  int32_t LineNumber;          // index in ScriptText of the referring line
};

struct TCompSection {
  uint8_t* Ptr;  // owned
  TCompilerAnsiText SectionName;
  uint32_t Size;
  uint32_t BufSize;
  uint32_t Flags;                        // kCodeSectionFlag or 0
  uint32_t OffsetInFile;                 // where the bytes start in the image (set by the layout)
  TCompilerTextList Labels;              // names in order of definition, duplicates kept
  TGrowArray<TOneLabelInfo> LabelsInfo;  // parallel to Labels
};

// The three sections that always exist, in this order.
constexpr uint32_t kLdsSection = 0;
constexpr uint32_t kJtsSection = 1;
constexpr uint32_t kGcsSection = 2;

struct TCompilerWork;  // private indexes and scratch space (compiler_work.h)

struct TRawScript {
  TCompilerText ScriptPath;  // folder of the main script with its delimiter, or empty
  bool ReparseFileNames;
  TCompilerTextList ScriptText;
  TCompilerTextList ScriptModules;
  TGrowArray<TOneScriptLine> ScriptLines;  // parallel to ScriptText
  bool CRC64_Needed;
  TGrowArray<TOneLabelReference> LabelReferences;
  int32_t TrueLabelRefCount;
  uint32_t CompilingResult;
  uint32_t ErrLine;  // kNoErrorLine when there is none
  int32_t NowCompiling;
  bool StopErrorHandling;
  int32_t ErrModule;  // kMainScriptModule for the main script or when there is none
  TCompilerText NewIcon;
  TGrowArray<TCompSection> Sections;
  uint32_t CurrentSection;
  TCompilerWork* Work;
};
static_assert(std::is_standard_layout_v<TRawScript>);
static_assert(std::is_trivially_copyable_v<TRawScript>);

// The origin of line `index` of ScriptText. A host that fills ScriptText
// itself may leave ScriptLines short; such lines count as main-script lines.
TOneScriptLine LineOrigin(const TRawScript* raw, int32_t index);
