#pragma once
// The extension mask of the Markdown entry: each bit switches one extension on; no
// other bit has any effect.
namespace markdown {

enum MDExtensions : unsigned {
  MDExtensionNone = 0,
  // Plain-text e-mail addresses, "http"/"https"/"ftp" addresses and "www." addresses
  // become links.
  MDExtensionAutolinks = 1,
  // Fenced code blocks (three backticks, an optional language word).
  MDExtensionFencedCode = 8,
  // Every line end inside a paragraph also yields a line break.
  MDExtensionHardNewlines = 32,
  // "~~" strikethrough.
  MDExtensionStrikethrough = 64,
  // Pipe tables.
  MDExtensionTables = 256,
  // An underscore with a letter or digit on its outer side neither opens nor closes
  // emphasis.
  MDExtensionIntrawordUnderscores = 512,
  MDExtensionAll = 873,
};

}  // namespace markdown
