// The workbench's editor: CodeMirror 6 with our assembler's language, its
// errors and warnings as lint marks, breakpoints in the line numbers' gutter
// and the line of the instruction at PC marked.
import { EditorState, StateEffect, StateField, RangeSet } from "@codemirror/state";
import {
  EditorView, Decoration, GutterMarker, gutter, keymap, lineNumbers, highlightActiveLine, drawSelection,
} from "@codemirror/view";
import { defaultKeymap, history, historyKeymap, indentWithTab } from "@codemirror/commands";
import { StreamLanguage, HighlightStyle, syntaxHighlighting } from "@codemirror/language";
import { linter, lintGutter, forceLinting } from "@codemirror/lint";
import { tags } from "@lezer/highlight";

// The language, from the words the assembler itself knows: the mnemonics
// come from the module (its instruction table), the rest is the reserved
// words of assembler.cpp and its number forms.
function assemblyLanguage(mnemonics) {
  const MNEMONICS = new Set(mnemonics.map((m) => m.toLowerCase()));
  const REGISTER = /^(v[0-9a-f]|i|dt|st|k|f|b)$/i;
  const DIRECTIVES = new Set(["db", "equ"]);
  return StreamLanguage.define({
    name: "vostrelina-assembly",
    startState: () => ({ lineStart: true }),
    token(stream, state) {
      if (stream.sol()) state.lineStart = true;
      if (stream.eatSpace()) return null;
      if (stream.peek() === ";") {
        stream.skipToEnd();
        return "comment";
      }
      if (stream.match(/^(0x[0-9a-f]+|0b[01]+|[0-9]+)\b/i)) return "number";
      if (stream.match(/^\[i\]/i)) return "atom";
      const word = stream.match(/^[A-Za-z_.][A-Za-z0-9_.]*/);
      if (word) {
        const text = word[0];
        const first = state.lineStart;
        state.lineStart = false;
        if (first && stream.peek() === ":") return "labelName";
        if (MNEMONICS.has(text.toLowerCase())) return "keyword";
        if (DIRECTIVES.has(text.toLowerCase())) return "meta";
        if (REGISTER.test(text)) return "atom";
        return "variableName";
      }
      stream.next();
      return null;
    },
    languageData: { commentTokens: { line: ";" } },
  });
}

// The player's greys, with a colour for each kind of word.
const highlight = HighlightStyle.define([
  { tag: tags.keyword, color: "#7fd0ff", fontWeight: "bold" },
  { tag: tags.atom, color: "#ffb86c" },
  { tag: tags.number, color: "#b5e38a" },
  { tag: tags.comment, color: "#999", fontStyle: "italic" },
  { tag: tags.labelName, color: "#ffe27a", fontWeight: "bold" },
  { tag: tags.meta, color: "#e59df0" },
  { tag: tags.variableName, color: "#eee" },
]);

const theme = EditorView.theme({
  "&": { color: "#eee", backgroundColor: "#333", height: "100%" },
  ".cm-content": { caretColor: "#fff", fontFamily: "monospace" },
  ".cm-gutters": { backgroundColor: "#2a2a2a", color: "#999", border: "none", cursor: "pointer" },
  ".cm-activeLine": { backgroundColor: "#3a3a3a" },
  "&.cm-focused .cm-selectionBackground, .cm-selectionBackground": { backgroundColor: "#555 !important" },
  ".cm-pc-line": { backgroundColor: "#5a4a1a !important" },
  ".cm-breakpoint": { color: "#ff5555", padding: "0 2px" },
}, { dark: true });

// --- Breakpoints: a dot in the gutter, kept at its line as the text moves --

const toggleBreak = StateEffect.define();
const clearBreaks = StateEffect.define();
const breakMarker = new (class extends GutterMarker {
  toDOM() {
    const dot = document.createElement("span");
    dot.className = "cm-breakpoint";
    dot.textContent = "●";
    return dot;
  }
})();
const breakpoints = StateField.define({
  create: () => RangeSet.empty,
  update(set, transaction) {
    set = set.map(transaction.changes);
    for (const effect of transaction.effects) {
      if (effect.is(clearBreaks)) set = RangeSet.empty;
      if (!effect.is(toggleBreak)) continue;
      let had = false;
      set.between(effect.value, effect.value, () => { had = true; });
      set = had ? set.update({ filter: (from) => from !== effect.value })
        : set.update({ add: [breakMarker.range(effect.value)] });
    }
    return set;
  },
});

// --- The line of the instruction at PC ------------------------------------

const setPcLine = StateEffect.define();
const pcLine = StateField.define({
  create: () => Decoration.none,
  update(decorations, transaction) {
    decorations = decorations.map(transaction.changes);
    for (const effect of transaction.effects) {
      if (!effect.is(setPcLine)) continue;
      decorations = effect.value === null ? Decoration.none
        : Decoration.set([Decoration.line({ class: "cm-pc-line" }).range(effect.value)]);
    }
    return decorations;
  },
  provide: (field) => EditorView.decorations.from(field),
});

// The editor in parent. check(text) gives the assembler's messages as
// [{line, message, severity}]; onChange(text) follows each change;
// onGutterClick(line) follows a click in a line's number (1-based); run()
// is Ctrl+Enter's.
export function createEditor({ parent, text, mnemonics, check, onChange, onGutterClick, run }) {
  const gutterClick = (v, line) => {
    onGutterClick(v.state.doc.lineAt(line.from).number);
    return true;
  };
  const lint = linter((view) => {
    const doc = view.state.doc;
    return check(doc.toString()).filter((m) => m.line >= 1 && m.line <= doc.lines).map((m) => {
      const line = doc.line(m.line);
      return { from: line.from, to: line.to, severity: m.severity, message: m.message };
    });
  }, { delay: 0 });
  const view = new EditorView({
    parent,
    state: EditorState.create({
      doc: text,
      extensions: [
        breakpoints,
        pcLine,
        // A click on a line's number or beside it sets or removes its
        // breakpoint, shown as a dot beside the number.
        gutter({
          class: "cm-breakpoints",
          markers: (v) => v.state.field(breakpoints),
          initialSpacer: () => breakMarker,
          domEventHandlers: { mousedown: gutterClick },
        }),
        lineNumbers({ domEventHandlers: { mousedown: gutterClick } }),
        lintGutter(),
        history(),
        drawSelection(),
        highlightActiveLine(),
        assemblyLanguage(mnemonics),
        syntaxHighlighting(highlight),
        theme,
        lint,
        keymap.of([
          { key: "Mod-Enter", run: () => { run(); return true; } },
          ...defaultKeymap, ...historyKeymap, indentWithTab,
        ]),
        EditorView.updateListener.of((update) => {
          if (update.docChanged) onChange(update.state.doc.toString());
        }),
      ],
    }),
  });
  return {
    view,
    text: () => view.state.doc.toString(),
    setText(newText) {
      view.dispatch({ changes: { from: 0, to: view.state.doc.length, insert: newText },
        effects: [clearBreaks.of(null), setPcLine.of(null)] });
      forceLinting(view);
    },
    // 1-based line numbers with a breakpoint.
    breakLines() {
      const lines = [];
      view.state.field(breakpoints).between(0, view.state.doc.length, (from) => {
        lines.push(view.state.doc.lineAt(from).number);
      });
      return lines;
    },
    toggleBreakLine(number) {
      view.dispatch({ effects: toggleBreak.of(view.state.doc.line(number).from) });
    },
    // The line marked as PC's, or none for null; brought into sight.
    markLine(number) {
      if (number === null || number < 1 || number > view.state.doc.lines) {
        view.dispatch({ effects: setPcLine.of(null) });
        return;
      }
      const from = view.state.doc.line(number).from;
      view.dispatch({ effects: [setPcLine.of(from), EditorView.scrollIntoView(from, { y: "center" })] });
    },
    markedLine() {
      let number = null;
      view.state.field(pcLine).between(0, view.state.doc.length, (from) => {
        number = view.state.doc.lineAt(from).number;
      });
      return number;
    },
  };
}
