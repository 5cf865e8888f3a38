// The page host's bridge: reports every named element's state and the page's events to
// the window, in the order they happen, and applies the window's writes. Everything goes
// over the web channel: calls to the host object, and its signals for the way back.
(function () {
    'use strict';
    if (window.__tessora) return;
    window.__tessora = true;

    // The host's flags, as the window layer names them.
    var DOCHOSTUIFLAG_DIALOG = 0x1;
    var DOCHOSTUIFLAG_SCROLL_NO = 0x8;

    var flags = null;  // known once the channel is up
    var flagsApplied = false;
    var host = null;
    var queue = [];
    var bound = {};
    var claimed = {};  // the host's key chords on this page

    function send(method, args) {
        if (host) host[method].apply(host, args);
        else queue.push([method, args]);
    }

    function describe(el) {
        var d = {
            tag: el.tagName.toLowerCase(),
            text: el.innerText === undefined ? '' : String(el.innerText),
            value: '',
            selectedIndex: -1,
            options: [],
            bg: el.style ? el.style.backgroundColor : ''
        };
        if (d.tag === 'input' || d.tag === 'textarea' || d.tag === 'select' ||
            d.tag === 'button') {
            d.value = String(el.value);
        }
        if (d.tag === 'select') {
            d.selectedIndex = el.selectedIndex;
            for (var i = 0; i < el.options.length; ++i) d.options.push(el.options[i].text);
        }
        return d;
    }

    function named(node) {
        while (node && !(node.nodeType === 1 && node.id)) node = node.parentNode;
        return node;
    }

    function report(el) {
        if (el && el.id) send('elementChanged', [el.id, describe(el)]);
    }

    function snapshot() {
        var all = {};
        var list = document.querySelectorAll('[id]');
        for (var i = 0; i < list.length; ++i) all[list[i].id] = describe(list[i]);
        return all;
    }

    function onNamedEvent(e) {
        var el = e.target && e.target.nodeType === 1 ? e.target : null;
        if (!el || !el.id) return;
        send('pageEvent', [el.id, e.type, false, describe(el)]);
    }

    function apply(id, property, value) {
        var el = document.getElementById(id);
        if (!el) return;
        if (property === 'innerText') el.innerText = value;
        else if (property === 'value') el.value = value;
        else if (property === 'selectedIndex') el.selectedIndex = value;
        else if (property === 'backgroundColor') el.style.backgroundColor = value;
        else if (property === 'title') el.title = value;
        report(el);
    }

    function focus(id) {
        var el = document.getElementById(id);
        if (el) el.focus();
    }

    function bind(id, type) {
        var el = document.getElementById(id);
        var key = id + '\n' + type;
        if (!el || bound[key]) return;
        bound[key] = true;
        el.addEventListener(type, function () {
            send('pageEvent', [id, type, true, describe(el)]);
        });
    }

    // Values typed or chosen reach the window before any event that follows them.
    document.addEventListener('input', function (e) { report(named(e.target)); }, true);
    document.addEventListener('change', function (e) { report(named(e.target)); }, true);
    ['mousedown', 'click', 'change'].forEach(function (type) {
        document.addEventListener(type, onNamedEvent, false);
    });
    var MODIFIERS = ['Control', 'Shift', 'Alt', 'AltGraph', 'Meta'];

    // The chord a key press makes, as the host names it: "Ctrl+Return", "Ctrl+1", "F2",
    // "Ctrl+Space", "Ctrl+Down".
    // Digits and letters are named by the key whatever the layout puts on it, so Ctrl+1 is
    // the digit row's first key on AZERTY too and Ctrl+N still works on a Cyrillic layout.
    function chordOf(e) {
        var key = e.key;
        if (key === 'Enter') key = 'Return';
        else if (key === ' ') key = 'Space';
        else if (/^Arrow/.test(key)) key = key.substring(5);
        else if (/^Digit[0-9]$/.test(e.code) && !/^[0-9]$/.test(key)) key = e.code.charAt(5);
        else if (/^Key[A-Z]$/.test(e.code) && !/^[a-zA-Z]$/.test(key)) key = e.code.charAt(3);
        else if (key.length === 1) key = key.toUpperCase();
        return (e.ctrlKey ? 'Ctrl+' : '') + (e.altKey ? 'Alt+' : '') +
            (e.shiftKey ? 'Shift+' : '') + (e.metaKey ? 'Meta+' : '') + key;
    }

    // A modifier alone begins a chord, and whether that chord is claimed shows only with its
    // next key. So its press is held back from the page until then: dropped with a claimed
    // chord (the window's alone), passed on with any other key or when it is let go, so the
    // page's own handlers still see every other key press, a lone modifier included.
    var heldModifier = null;
    function passHeldModifier() {
        if (!heldModifier) return;
        var held = heldModifier;
        heldModifier = null;
        held.target.dispatchEvent(new KeyboardEvent('keydown', held.init));
    }

    // Keys whose own press ran a command: a key held down runs it once, and its repeats do
    // nothing else either, even once the modifier is let go first. A key's next own press
    // starts afresh (a release seen in between may have been the window system's, which it
    // sends with each repeat; the host marks the press that follows it as a repeat).
    var commandKeys = {};

    document.addEventListener('keydown', function (e) {
        if (!e.isTrusted) return;  // a held modifier passed on
        if (e.repeat && commandKeys.hasOwnProperty(e.code)) {
            e.preventDefault();
            e.stopPropagation();
            return;
        }
        if (!e.repeat) delete commandKeys[e.code];
        if (MODIFIERS.indexOf(e.key) >= 0) {
            if (!heldModifier) {
                heldModifier = {target: e.target, init: {key: e.key, code: e.code,
                    ctrlKey: e.ctrlKey, altKey: e.altKey, shiftKey: e.shiftKey,
                    metaKey: e.metaKey, bubbles: true, cancelable: true}};
            }
            e.stopPropagation();
            return;
        }
        var chord = chordOf(e);
        if (!e.isComposing && claimed.hasOwnProperty(chord)) {
            // A claimed key is the window's command alone: the text box inserts no line for
            // it and the page's own handlers (the modified marker) never see it. Reported
            // through the channel, it reaches the window after the typing before it.
            heldModifier = null;
            e.preventDefault();
            e.stopPropagation();
            if (!e.repeat) {
                commandKeys[e.code] = true;
                send('keyPressed', [chord]);
            }
            return;
        }
        passHeldModifier();
        if (e.key === 'Escape') {
            // Escape closes and changes nothing: kept from the page's own key handlers, it
            // cannot set the modified marker just ahead of the close.
            e.preventDefault();
            e.stopPropagation();
            send('cancelRequested', []);
        }
    }, true);
    document.addEventListener('keyup', function (e) {
        if (MODIFIERS.indexOf(e.key) >= 0) passHeldModifier();
    }, true);
    document.addEventListener('dragover', function (e) { e.preventDefault(); }, true);
    document.addEventListener('drop', function (e) { e.preventDefault(); }, true);

    new MutationObserver(function (mutations) {
        var seen = [];
        mutations.forEach(function (m) {
            var el = named(m.target);
            if (el && seen.indexOf(el) < 0) seen.push(el);
        });
        seen.forEach(report);
    }).observe(document, {subtree: true, childList: true, characterData: true});

    // Once both the document and the flags are there, whichever comes last.
    function applyHostFlags() {
        if (flagsApplied || flags === null || document.readyState === 'loading') return;
        flagsApplied = true;
        var css = '';
        if (flags & DOCHOSTUIFLAG_DIALOG) {
            css += '* { -webkit-user-select: none; user-select: none; }' +
                ' input, textarea, select { -webkit-user-select: text; user-select: text; }';
        }
        if (flags & DOCHOSTUIFLAG_SCROLL_NO) css += ' html, body { overflow: hidden !important; }';
        if (!css) return;
        var style = document.createElement('style');
        style.textContent = css;
        (document.head || document.documentElement).appendChild(style);
    }

    document.addEventListener('DOMContentLoaded', applyHostFlags);
    window.addEventListener('load', function () {
        send('pageLoaded', [String(location.href), snapshot()]);
    });

    new QWebChannel(qt.webChannelTransport, function (channel) {
        var h = channel.objects.tessoraHost;
        h.applyRequested.connect(apply);
        h.focusRequested.connect(focus);
        h.bindRequested.connect(bind);
        h.keysClaimed.connect(function (chords) {
            claimed = {};
            chords.forEach(function (chord) { claimed[chord] = true; });
        });
        h.roundTripRequested.connect(function (sequence) { h.applied(sequence); });
        flags = h.hostFlags >>> 0;
        applyHostFlags();
        host = h;
        host.bridgeConnected();
        var pending = queue;
        queue = [];
        pending.forEach(function (call) { host[call[0]].apply(host, call[1]); });
    });
})();
