// The text caret's blink, kept by the page rather than the engine, so that it can stop.
// The engine blinks a caret for as long as it has the focus, and every blink is a frame
// through the renderer, the compositor and the window: most of what the program costs at
// rest. Here it blinks at the desktop's rate and, as on the usual Linux desktop (GTK's
// blink timeout), stops after a while without input, staying on. Any key, click, focus
// or move of the caret starts it again. The engine itself draws a steady caret; an off
// phase is that caret drawn transparent, so either phase looks exactly as the engine's.
// Needs window.__tessoraCaretBlink = {halfPeriod: ms, stopAfter: ms} set before it runs;
// a half period of 0 means the desktop wants no blinking at all.
(function () {
    'use strict';
    var blink = window.__tessoraCaretBlink;
    if (!blink || !(blink.halfPeriod > 0) || window.__tessoraCaret) return;
    window.__tessoraCaret = true;

    var off = new CSSStyleSheet();
    off.replaceSync(':focus { caret-color: transparent !important; }');
    off.disabled = true;
    document.adoptedStyleSheets = Array.from(document.adoptedStyleSheets).concat([off]);

    var timer = 0;
    var lastInput = 0;

    function tick() {
        if (off.disabled && Date.now() - lastInput >= blink.stopAfter) {
            clearInterval(timer);  // at rest: the caret stays on
            timer = 0;
            return;
        }
        off.disabled = !off.disabled;
    }

    function restart() {
        lastInput = Date.now();
        off.disabled = true;
        clearInterval(timer);
        timer = setInterval(tick, blink.halfPeriod);
    }

    // Capturing, ahead of the page's handlers: the caret is on in the very frame that shows
    // the key's effect.
    ['keydown', 'mousedown', 'focusin', 'input'].forEach(function (type) {
        document.addEventListener(type, restart, true);
    });
    document.addEventListener('selectionchange', restart);
    window.addEventListener('focus', restart);
    restart();
})();
