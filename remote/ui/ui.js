// The operator's page: the cue list, what is on air, and the buttons, kept current from the
// program's push channel. The token comes in the address's fragment (#token=...), which the
// browser never sends, and is kept for this tab only.
"use strict";

(function () {
  const $ = (id) => document.getElementById(id);
  const TOKEN_KEY = "tessora.token";
  // A busy program is asked again this often until it answers.
  const BUSY_POLL_MS = 1000;
  const RECONNECT_MIN_MS = 250;
  const RECONNECT_MAX_MS = 5000;
  const REFUSED = "This page's token is not accepted: open the address with a current token.";

  let token = "";
  // Whether the token may act: unknown (null) until the program's first answer says.
  let canAct = null;
  let socket = null;
  let reconnectMs = RECONNECT_MIN_MS;
  let busy = false;
  let connected = false;
  // The list as last read: its file and length, to tell when it must be read again.
  let list = { file: null, count: -1, next: 0, on_air: 0 };
  // The markers as the push channel last told them, and how many times it has: an answer
  // read meanwhile may be older than they are.
  let lastCue = null;
  let cueMessages = 0;

  function takeToken() {
    const match = /(?:^#|&)token=([^&]*)/.exec(location.hash);
    if (match) {
      let given = match[1];
      try {
        given = decodeURIComponent(given);
      } catch (e) {
        // A stray "%" is the token's own character.
      }
      sessionStorage.setItem(TOKEN_KEY, given);
      // Off the address bar, out of a bookmark and a screen shared over the shoulder.
      history.replaceState(null, "", location.pathname + location.search);
    }
    return sessionStorage.getItem(TOKEN_KEY) || "";
  }

  function notice(text) {
    const el = $("notice");
    el.textContent = text || "";
    el.hidden = !text;
  }

  async function call(method, path, body) {
    const init = {
      method: method,
      headers: { Authorization: "Bearer " + token },
      cache: "no-store",
      credentials: "omit",
    };
    if (method === "POST") {
      init.headers["Content-Type"] = "application/json";
      init.body = JSON.stringify(body || {});
    }
    let answer;
    try {
      answer = await fetch("/api/v1/" + path, init);
    } catch (e) {
      return { status: 0, data: { error: "Tessora cannot be reached" } };
    }
    const access = answer.headers.get("Tessora-Access");
    if (access) setAccess(access === "control");
    let data = null;
    try {
      data = await answer.json();
    } catch (e) {
      data = null;
    }
    return { status: answer.status, data: data };
  }

  // A token that may only look gets no buttons at all.
  function setAccess(control) {
    if (control === canAct) return;
    canAct = control;
    const controls = $("controls");
    if (control) {
      if (controls) controls.hidden = false;
    } else {
      if (controls) controls.remove();
      $("mode").hidden = false;
    }
  }

  // ---- What the program tells ----

  function showLine(connected, state, port, text, reason) {
    const el = $("line");
    el.className = "tag " + (connected ? "ok" : "bad");
    let words = connected ? "Line live" : state === "lost" ? "Line lost" : "Line closed";
    if (port) words += " (" + port + ")";
    if (!connected && (reason || text)) words += ": " + (reason || text);
    el.textContent = words;
  }

  function showClock(clock) {
    const el = $("clock");
    el.hidden = clock === "synchronised";
    el.textContent =
      clock === "unknown" ? "Clock state unknown" : "Clock not synchronised: stamps may be wrong";
  }

  // Who sent, as the program names it, in the operator's words.
  const ORIGINS = {
    program: "the program",
    page: "the window",
    key: "a key in the window",
    strip: "the strip",
    remote: "the remote control",
    cue: "the cue list",
  };

  function showOnAir(onAir) {
    const air = $("air");
    air.classList.toggle("cleared", !!onAir.cleared);
    if (onAir.cleared) {
      $("airScreen").textContent = "";
      $("airText").textContent = "(cleared)";
    } else {
      $("airScreen").textContent = "- screen " + onAir.screen;
      $("airText").textContent = onAir.text;
    }
    const from = ORIGINS[onAir.origin] || onAir.origin || "";
    let words = from ? "from " + from : "";
    if (from && onAir.cue) words += ", cue " + onAir.cue;
    $("airFrom").textContent = words;
  }

  function showMarkers(state) {
    list.next = state.next;
    list.on_air = state.on_air;
    for (const row of document.querySelectorAll("#cues .cue")) {
      const number = Number(row.dataset.cue);
      row.classList.toggle("onair", number === state.on_air);
      row.classList.toggle("next", number === state.next);
    }
    $("nextLine").textContent = state.next
      ? "Next: " + state.next + " - " + (state.next_text || "")
      : "Next: none";
    keepInView(document.querySelector("#cues .cue.next"));
  }

  // Scrolls the list, where it scrolls by itself (side by side), to show the next cue; a
  // narrow page is never scrolled away from its buttons.
  function keepInView(row) {
    const box = $("list");
    if (!row || box.scrollHeight <= box.clientHeight) return;
    const top = row.offsetTop;
    if (top < box.scrollTop || top + row.offsetHeight > box.scrollTop + box.clientHeight)
      box.scrollTop = Math.max(0, top - box.clientHeight / 3);
  }

  function marksOf(cue) {
    const marks = [];
    if (cue.lossy) marks.push("characters replaced");
    if (cue.cut) marks.push("cut to fit");
    if (cue.note) marks.push(cue.note);
    return marks.join(" · ");
  }

  function badge(kind, words) {
    const el = document.createElement("span");
    el.className = "badge " + kind;
    el.textContent = words;
    return el;
  }

  function showList(state) {
    const ol = $("cues");
    ol.replaceChildren();
    list.file = state.file;
    list.count = state.count;
    $("listName").textContent = state.file ? "- " + state.file.split("/").pop() : "";
    if (!state.rows || state.rows.length === 0) {
      const empty = document.createElement("li");
      empty.className = "empty";
      empty.textContent = "No cue list is open.";
      ol.append(empty);
    }
    for (const cue of state.rows || []) {
      const li = document.createElement("li");
      li.className = "cue";
      li.dataset.cue = String(cue.cue);
      const num = document.createElement("span");
      num.className = "num";
      num.textContent = String(cue.cue);
      const body = document.createElement("div");
      const text = document.createElement("pre");
      text.textContent = cue.text;
      const marks = document.createElement("div");
      marks.className = "marks";
      marks.textContent = marksOf(cue);
      body.append(text, marks);
      const side = document.createElement("div");
      side.className = "side";
      side.append(badge("air", "ON AIR"), badge("next", "NEXT"));
      li.append(num, body, side);
      ol.append(li);
    }
    showMarkers(state);
  }

  async function readList() {
    const heard = cueMessages;
    const answer = await call("GET", "cues");
    if (answer.status === 200) {
      showList(answer.data);
      if (cueMessages !== heard && lastCue) showMarkers(lastCue);
    }
    else if (answer.status === 409 && /no cue list/.test((answer.data || {}).error))
      showList({ file: "", count: 0, next: 0, on_air: 0 });
    else if (answer.status === 409) setTimeout(readList, BUSY_POLL_MS);
    else if (answer.status === 401) notice(REFUSED);
  }

  // Whether the row of a cue starts with the line the program gives for it.
  function shows(number, firstLine) {
    if (!number) return true;
    const row = document.querySelector('#cues .cue[data-cue="' + number + '"] pre');
    return !!row && row.textContent.split(/[\r\n]/)[0] === (firstLine || "");
  }

  function onMessage(event) {
    let message;
    try {
      message = JSON.parse(event.data);
    } catch (e) {
      return;
    }
    switch (message.type) {
      case "state":
        showOnAir(message.on_air);
        showLine(message.connected, message.connected ? "live" : "closed", message.port, "", "");
        showClock(message.clock);
        break;
      case "on_air":
      case "cleared":
        showOnAir(message.on_air);
        break;
      case "line":
        showLine(message.connected, message.state, message.port, message.text, message.reason);
        break;
      case "clock":
        showClock(message.clock);
        break;
      case "cue":
        lastCue = message;
        ++cueMessages;
        // Read again when the list itself changed, not only its markers.
        if (message.file !== list.file || message.count !== list.count ||
            !shows(message.next, message.next_text) || !shows(message.on_air, message.on_air_text))
          readList();
        else showMarkers(message);
        break;
    }
  }

  // ---- The push channel, connected again by itself ----

  function connect() {
    const scheme = location.protocol === "https:" ? "wss://" : "ws://";
    socket = new WebSocket(
      scheme + location.host + "/api/v1/events?token=" + encodeURIComponent(token));
    socket.onopen = () => {
      reconnectMs = RECONNECT_MIN_MS;
      notice("");
      connected = true;
      enableButtons();
      document.body.classList.add("live");
      // Whatever changed while the connection was down.
      readList();
    };
    socket.onmessage = onMessage;
    socket.onclose = () => {
      socket = null;
      connected = false;
      enableButtons();
      // What the page last heard of the line is no longer known to hold.
      $("line").className = "tag";
      $("line").textContent = "Line: ?";
      document.body.classList.remove("live");
      notice("Connection to Tessora lost: connecting again…");
      setTimeout(connect, reconnectMs);
      reconnectMs = Math.min(reconnectMs * 2, RECONNECT_MAX_MS);
      // A refused token says so here; a WebSocket is told nothing of why.
      call("GET", "status").then((answer) => {
        if (answer.status === 401) notice(REFUSED);
      });
    };
  }

  // ---- The buttons ----

  // The buttons work only while the program is heard and free.
  function enableButtons() {
    for (const button of document.querySelectorAll("#controls button"))
      button.disabled = busy || !connected;
  }

  function setBusy(reason) {
    busy = !!reason;
    enableButtons();
    if (reason) $("reason").textContent = "Waiting: " + reason;
  }

  async function pollBusy() {
    const answer = await call("GET", "status");
    if (answer.status === 409) {
      setTimeout(pollBusy, BUSY_POLL_MS);
    } else {
      setBusy("");
      $("reason").textContent = "";
    }
  }

  async function command(path, body) {
    if (busy || !connected) return;
    $("reason").textContent = "";
    const answer = await call("POST", path, body);
    // The markers come from the push channel, in the order they changed: an answer may
    // arrive after a later change's message.
    if (answer.status === 200) return;
    const reason = (answer.data && answer.data.error) || "HTTP " + answer.status;
    if (answer.status === 409) {
      setBusy(reason);
      setTimeout(pollBusy, BUSY_POLL_MS);
    } else {
      $("reason").textContent = reason;
    }
  }

  function wireButtons() {
    $("take").addEventListener("click", () => command("cues/take"));
    $("next").addEventListener("click", () => command("cues/next"));
    $("previous").addEventListener("click", () => command("cues/previous"));
    $("clear").addEventListener("click", () => command("clear"));
    for (const button of document.querySelectorAll("[data-send]"))
      button.addEventListener("click", () =>
        command("send", { screen: Number(button.dataset.send) }));
  }

  token = takeToken();
  wireButtons();
  if (!token) {
    notice("No token: open this page as /ui/#token=… (tessora --remote-token prints it).");
    return;
  }
  // The list is read once the push channel is open, and again after every reconnection.
  connect();
})();
