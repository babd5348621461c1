// SPDX-License-Identifier: MIT
// The zelvane monitor page: the calls on each channel and slot now, the
// event log, the positions on a map and the speech, live from the server's
// event stream. Everything received over the air is shown through
// textContent and never parsed as HTML.
"use strict";

(function () {
  const config = { map_tiles: "", history: 10000 };
  const events = [];          // kept events, oldest first, at most config.history
  const logRows = new Map();  // seq -> row of the log
  const channels = new Map(); // channel key -> now-panel row state
  const callChannel = new Map(); // call id -> channel key
  const markers = new Map();  // source key -> marker state
  let lastSeq = 0;
  let inputTime = 0, inputWall = 0, ended = false;

  const $ = (id) => document.getElementById(id);

  function el(tag, className, text) {
    const e = document.createElement(tag);
    if (className) e.className = className;
    if (text !== undefined && text !== null) e.textContent = String(text);
    return e;
  }

  function fmtSeconds(s) {
    s = Math.max(0, s);
    if (s < 60) return s.toFixed(1) + " s";
    const m = Math.floor(s / 60);
    return m + ":" + String(Math.floor(s % 60)).padStart(2, "0");
  }

  function fmtFrequency(hz) {
    return hz ? (hz / 1e6).toFixed(4) + " MHz" : "input";
  }

  function fmtTime(ev) {
    if (ev.utc) return ev.utc.replace("T", " ").replace(/\.\d+Z$/, "Z");
    return fmtSeconds(ev.time || 0);
  }

  // Who sent and who was addressed, as shown in the log and the now panel.
  function fromOf(ev) {
    if (ev.protocol === "POCSAG") return ev.address !== undefined ? String(ev.address) : "";
    if (ev.source === undefined) return "";
    return String(ev.source) + (ev.source_name ? " " + ev.source_name : "");
  }

  function toOf(ev) {
    if (ev.protocol === "POCSAG") return ev.name || (ev.function !== null && ev.function !== undefined ? "function " + ev.function : "");
    if (ev.target === undefined) return "";
    const kind = ev.type === "direct" ? "" : (ev.type === "group" ? "TG " : "");
    return kind + String(ev.target) + (ev.target_name ? " " + ev.target_name : "");
  }

  function textOf(ev) {
    const parts = [];
    if (ev.protocol === "POCSAG") parts.push(ev.message === "" ? "(tone)" : ev.message);
    if (ev.alias) parts.push("alias " + ev.alias);
    if (ev.protocol === "YSF" && ev.mode) parts.push(ev.mode);
    if (ev.radio) parts.push("radio " + ev.radio);
    if (ev.summary) parts.push(ev.summary);
    if (ev.lat !== undefined && ev.lon !== undefined) parts.push(ev.lat.toFixed(5) + ", " + ev.lon.toFixed(5));
    if (ev.event === "call-end" && ev.duration !== undefined) parts.push(fmtSeconds(ev.duration));
    return parts.join("  ");
  }

  function slotOf(ev) { return ev.protocol === "DMR" && ev.slot ? "TS" + ev.slot : "\u2014"; }
  function channelKey(ev) { return (ev.frequency || 0) + "/" + (ev.protocol === "DMR" ? ev.slot || 1 : "-"); }

  // ---- the event log -------------------------------------------------------

  const filter = { protocol: "", search: "" };

  function matches(row) {
    if (filter.protocol && row.dataset.protocol !== filter.protocol) return false;
    return !filter.search || row.searchText.includes(filter.search);
  }

  function updateShown() {
    let shown = 0;
    for (const row of logRows.values()) if (!row.hidden) shown++;
    $("shown").textContent = shown + " of " + logRows.size + " shown";
  }

  function applyFilter() {
    filter.protocol = $("protocol").value;
    filter.search = $("search").value.trim().toLowerCase();
    for (const row of logRows.values()) row.hidden = !matches(row);
    updateShown();
  }

  function addLogRow(ev) {
    const row = el("tr", "event-row");
    row.dataset.seq = ev.seq;
    row.dataset.protocol = ev.protocol;
    row.dataset.event = ev.event;
    row.dataset.arrived = String(Date.now());
    const cells = [fmtTime(ev), fmtFrequency(ev.frequency), ev.protocol, ev.event + (ev.protocol === "DMR" && ev.slot && ev.event.startsWith("call") ? " " + slotOf(ev) : ""),
      fromOf(ev), toOf(ev), textOf(ev)];
    cells.forEach((text, i) => row.appendChild(el("td", (i < 4 ? "nowrap " : "") + (i === 2 ? "proto-" + ev.protocol : ""), text)));
    const audio = el("td", "audio");
    if (ev.event === "call-end" && ev.audio && ev.call_id) {
      const play = el("button", "play", "\u25B6 play");
      play.type = "button";
      play.title = ev.audio;
      play.addEventListener("click", () => {
        const player = el("audio");
        player.controls = true;
        player.preload = "auto";
        player.src = "/api/calls/" + encodeURIComponent(ev.call_id) + "/audio";
        audio.replaceChildren(player);
        player.play().catch(() => {});
      });
      audio.appendChild(play);
    }
    row.appendChild(audio);
    row.searchText = cells.concat([ev.alias || "", ev.message || "", ev.station || ""]).join(" ").toLowerCase();
    row.hidden = !matches(row);
    $("log-rows").prepend(row);
    logRows.set(ev.seq, row);
  }

  // ---- now: one row per channel and slot ---------------------------------

  function channelRow(ev) {
    const key = channelKey(ev);
    let ch = channels.get(key);
    if (ch) return ch;
    const row = el("tr", "channel");
    row.dataset.channel = key;
    const cells = {};
    for (const name of ["channel", "slot", "call", "from", "to", "alias", "talkers", "duration", "last"]) {
      cells[name] = el("td", name);
      row.appendChild(cells[name]);
    }
    cells.channel.textContent = fmtFrequency(ev.frequency);
    cells.slot.textContent = slotOf(ev);
    const muteCell = el("td", "mute");
    const mute = el("input");
    mute.type = "checkbox";
    mute.title = "Mute this slot's live speech";
    muteCell.appendChild(mute);
    row.appendChild(muteCell);
    ch = { key, row, cells, mute, call: null, nextPlay: 0 };
    channels.set(key, ch);
    const rows = [...channels.values()].sort((a, b) => a.key.localeCompare(b.key, "en", { numeric: true }));
    $("now-rows").replaceChildren(...rows.map((c) => c.row));
    $("now-empty").hidden = true;
    return ch;
  }

  function showCall(ch) {
    const c = ch.call;
    ch.row.classList.toggle("active", !!c);
    if (!c) {
      for (const name of ["call", "from", "to", "alias", "talkers", "duration"]) ch.cells[name].textContent = "";
      return;
    }
    ch.cells.call.textContent = c.protocol + (c.type ? " " + c.type : "") + " #" + c.id;
    ch.cells.from.textContent = c.from;
    ch.cells.to.textContent = c.to;
    ch.cells.alias.textContent = c.alias;
    ch.cells.talkers.textContent = c.talkers.length > 1 ? c.talkers.length + ": " + c.talkers.join(" \u2192 ") : "";
    ch.cells.duration.textContent = fmtSeconds(nowInput() - c.start);
  }

  function nowInput() {
    return ended ? inputTime : inputTime + (Date.now() - inputWall) / 1000;
  }

  function updateNow(ev) {
    if (ev.event === "page-repeat") return;
    const ch = channelRow(ev);
    if (ev.event === "call" && ev.call_id) {
      let c = ch.call;
      if (!c || c.id !== ev.call_id) {
        c = ch.call = { id: ev.call_id, protocol: ev.protocol, type: ev.type || ev.mode || "", start: ev.time || 0, talkers: [] };
        callChannel.set(ev.call_id, ch.key);
        if (callChannel.size > 1000) callChannel.delete(callChannel.keys().next().value);
      }
      c.from = fromOf(ev);
      c.to = toOf(ev);
      if (ev.alias) c.alias = ev.alias;
      else if (c.alias === undefined) c.alias = "";
      const talker = ev.protocol === "YSF" ? String(ev.source || "") : String(ev.source);
      if (c.talkers[c.talkers.length - 1] !== talker) {
        c.talkers.push(talker);
        if (c.talkers.length > 8) c.talkers.shift();
      }
      showCall(ch);
    } else if (ev.event === "call-end") {
      if (ch.call && ch.call.id === ev.call_id) ch.call = null;
      ch.cells.last.textContent = ev.protocol + " call " + fromOf(ev) + " \u2192 " + toOf(ev) + ", " + fmtSeconds(ev.duration || 0);
      showCall(ch);
    } else {
      ch.cells.last.textContent = ev.event + " " + [fromOf(ev), toOf(ev), textOf(ev)].filter((s) => s).join("  ");
    }
  }

  // ---- the map --------------------------------------------------------------
  // Web Mercator as slippy tile servers use it: 256 pixel tiles, zoom z has
  // 2^z tiles across. Without tiles (no network) the grid still shows.

  const view = { lat: 20, lon: 0, zoom: 2, fitted: false };
  const TILE = 256;

  function project(lat, lon, zoom) {
    const scale = TILE * Math.pow(2, zoom);
    const s = Math.sin(Math.max(-85.05, Math.min(85.05, lat)) * Math.PI / 180);
    return { x: (lon + 180) / 360 * scale, y: (0.5 - Math.log((1 + s) / (1 - s)) / (4 * Math.PI)) * scale };
  }

  function unproject(x, y, zoom) {
    const scale = TILE * Math.pow(2, zoom);
    const lon = x / scale * 360 - 180;
    const n = Math.PI - 2 * Math.PI * y / scale;
    return { lat: 180 / Math.PI * Math.atan(Math.sinh(n)), lon };
  }

  function mapSize() {
    const m = $("map");
    return { w: m.clientWidth || 600, h: m.clientHeight || 340 };
  }

  function tileUrl(x, y, z) {
    const subdomains = "abc";
    return config.map_tiles.replace("{s}", subdomains[Math.abs(x + y) % 3]).replace("{z}", z).replace("{x}", x).replace("{y}", y);
  }

  let tilesShown = new Map();

  function drawMap() {
    const { w, h } = mapSize();
    const z = view.zoom;
    const c = project(view.lat, view.lon, z);
    const left = c.x - w / 2, top = c.y - h / 2;
    const n = Math.pow(2, z);
    // Tiles
    const wanted = new Map();
    if (config.map_tiles) {
      for (let tx = Math.floor(left / TILE); tx <= Math.floor((left + w) / TILE); tx++) {
        for (let ty = Math.floor(top / TILE); ty <= Math.floor((top + h) / TILE); ty++) {
          if (ty < 0 || ty >= n) continue;
          const wx = ((tx % n) + n) % n;
          const key = z + "/" + tx + "/" + ty;
          let img = tilesShown.get(key);
          if (!img) {
            img = el("img");
            img.alt = "";
            img.referrerPolicy = "strict-origin-when-cross-origin";
            img.addEventListener("error", () => { img.style.visibility = "hidden"; });
            img.src = tileUrl(wx, ty, z);
          }
          img.style.left = (tx * TILE - left) + "px";
          img.style.top = (ty * TILE - top) + "px";
          wanted.set(key, img);
        }
      }
    }
    tilesShown = wanted;
    $("map-tiles").replaceChildren(...wanted.values());
    // Grid of parallels and meridians, finer as the map zooms in
    const canvas = $("map-grid");
    canvas.width = w;
    canvas.height = h;
    const g = canvas.getContext("2d");
    g.clearRect(0, 0, w, h);
    const step = [30, 30, 20, 10, 5, 5, 2, 1, 0.5, 0.5, 0.2, 0.1, 0.05, 0.05, 0.02, 0.01, 0.005, 0.005, 0.002, 0.001][Math.min(19, z)];
    g.strokeStyle = "rgba(60,80,100,0.35)";
    g.fillStyle = "rgba(40,50,60,0.8)";
    g.font = "10px sans-serif";
    g.lineWidth = 1;
    const nw = unproject(left, top, z), se = unproject(left + w, top + h, z);
    for (let lon = Math.ceil(nw.lon / step) * step; lon <= se.lon; lon += step) {
      const x = project(0, lon, z).x - left;
      g.beginPath(); g.moveTo(x, 0); g.lineTo(x, h); g.stroke();
      g.fillText(lon.toFixed(3).replace(/\.?0+$/, "") + "\u00b0", x + 2, h - 4);
    }
    for (let lat = Math.ceil(se.lat / step) * step; lat <= nw.lat; lat += step) {
      const y = project(lat, 0, z).y - top;
      g.beginPath(); g.moveTo(0, y); g.lineTo(w, y); g.stroke();
      g.fillText(lat.toFixed(3).replace(/\.?0+$/, "") + "\u00b0", 2, y - 2);
    }
    // Markers
    for (const m of markers.values()) {
      const p = project(m.lat, m.lon, z);
      m.el.style.left = (p.x - left) + "px";
      m.el.style.top = (p.y - top) + "px";
    }
  }

  function fitMarkers() {
    if (markers.size === 0) return;
    let s = 90, n = -90, wst = 180, e = -180;
    for (const m of markers.values()) {
      s = Math.min(s, m.lat); n = Math.max(n, m.lat); wst = Math.min(wst, m.lon); e = Math.max(e, m.lon);
    }
    const { w, h } = mapSize();
    let z = 15;
    while (z > 1) {
      const a = project(n, wst, z), b = project(s, e, z);
      if (b.x - a.x < w * 0.8 && b.y - a.y < h * 0.8) break;
      z--;
    }
    const a = project(n, wst, z), b = project(s, e, z);
    const c = unproject((a.x + b.x) / 2, (a.y + b.y) / 2, z);
    view.lat = c.lat; view.lon = c.lon; view.zoom = z;
    drawMap();
  }

  function markerKey(ev) {
    if (ev.protocol === "YSF") return "YSF " + (ev.source || "?");
    if (ev.protocol === "POCSAG") return "POCSAG " + ev.address;
    if (ev.source !== undefined) return ev.protocol + " " + ev.source;
    return ev.protocol + " " + (ev.station || "") + " " + ev.event;
  }

  function updateMarker(ev) {
    if (typeof ev.lat !== "number" || typeof ev.lon !== "number" || !isFinite(ev.lat) || !isFinite(ev.lon)) return;
    if (Math.abs(ev.lat) > 90 || Math.abs(ev.lon) > 180) return;
    const key = markerKey(ev);
    let m = markers.get(key);
    if (!m) {
      const e = el("div", "marker " + ev.protocol);
      e.dataset.source = key;
      e.appendChild(el("div", "pin"));
      const label = el("div", "label");
      e.appendChild(label);
      m = { el: e, label };
      markers.set(key, m);
      $("map-markers").appendChild(e);
      // At most 2000 markers: the oldest position goes first.
      if (markers.size > 2000) {
        const [oldKey, old] = markers.entries().next().value;
        old.el.remove();
        markers.delete(oldKey);
      }
    }
    m.lat = ev.lat; m.lon = ev.lon;
    const who = fromOf(ev) || key;
    m.label.textContent = who + "  " + fmtTime(ev);
    m.el.title = who + "\n" + ev.lat.toFixed(5) + ", " + ev.lon.toFixed(5) + "\n" + fmtTime(ev);
    $("marker-count").textContent = markers.size + (markers.size === 1 ? " source" : " sources");
    if (!view.fitted) fitSoon();
    else drawMap();
  }

  let fitTimer = 0;
  function fitSoon() {
    if (fitTimer) return;
    fitTimer = setTimeout(() => { fitTimer = 0; if (!view.fitted) fitMarkers(); }, 100);
  }

  function setupMap() {
    const map = $("map");
    let drag = null;
    map.addEventListener("pointerdown", (e) => {
      drag = { x: e.clientX, y: e.clientY, c: project(view.lat, view.lon, view.zoom) };
      map.setPointerCapture(e.pointerId);
    });
    map.addEventListener("pointermove", (e) => {
      if (!drag) return;
      const c = unproject(drag.c.x - (e.clientX - drag.x), drag.c.y - (e.clientY - drag.y), view.zoom);
      view.lat = c.lat; view.lon = c.lon; view.fitted = true;
      drawMap();
    });
    map.addEventListener("pointerup", () => { drag = null; });
    const zoom = (d) => { view.zoom = Math.max(1, Math.min(19, view.zoom + d)); view.fitted = true; drawMap(); };
    map.addEventListener("wheel", (e) => { e.preventDefault(); zoom(e.deltaY < 0 ? 1 : -1); }, { passive: false });
    $("zoom-in").addEventListener("click", () => zoom(1));
    $("zoom-out").addEventListener("click", () => zoom(-1));
    $("zoom-fit").addEventListener("click", () => { view.fitted = false; fitMarkers(); });
    for (const b of map.querySelectorAll("button")) b.addEventListener("pointerdown", (e) => e.stopPropagation());
    window.addEventListener("resize", drawMap);
    let host = "";
    try { host = new URL(config.map_tiles.replace(/\{s\}\./, "")).hostname; } catch (e) { host = ""; }
    $("attribution").textContent = host.endsWith("openstreetmap.org") ? "\u00a9 OpenStreetMap contributors" : (host ? "tiles: " + host : "");
    drawMap();
  }

  // ---- live speech ------------------------------------------------------------
  // 8000 Hz 16-bit samples of the calls being received, played through Web
  // Audio; each slot plays in order after what it already queued.

  let audio = null, speechSource = null, piecesPlayed = 0;

  function playSpeech(data) {
    const space = data.indexOf(" ");
    if (space < 0 || !audio) return;
    const callId = Number(data.slice(0, space));
    const key = callChannel.get(callId);
    const ch = key !== undefined ? channels.get(key) : undefined;
    if (!ch || ch.mute.checked) return;
    let bytes;
    try { bytes = atob(data.slice(space + 1)); } catch (e) { return; }
    const count = bytes.length >> 1;
    if (count === 0) return;
    const buffer = audio.createBuffer(1, count, 8000);
    const out = buffer.getChannelData(0);
    for (let i = 0; i < count; i++) {
      let v = bytes.charCodeAt(2 * i) | (bytes.charCodeAt(2 * i + 1) << 8);
      if (v >= 32768) v -= 65536;
      out[i] = v / 32768;
    }
    const src = audio.createBufferSource();
    src.buffer = buffer;
    src.connect(audio.destination);
    const now = audio.currentTime;
    // Start a little ahead; drop what lags more than a second behind.
    if (ch.nextPlay < now + 0.05 || ch.nextPlay > now + 1.5) ch.nextPlay = now + 0.15;
    src.start(ch.nextPlay);
    ch.nextPlay += buffer.duration;
    $("listen").dataset.pieces = String(++piecesPlayed);
  }

  function toggleListen() {
    const button = $("listen");
    if (speechSource) {
      speechSource.close();
      speechSource = null;
      button.textContent = "Listen live";
      return;
    }
    if (!audio) audio = new (window.AudioContext || window.webkitAudioContext)();
    audio.resume();
    speechSource = new EventSource("/api/speech");
    speechSource.addEventListener("speech", (e) => playSpeech(e.data));
    button.textContent = "Stop listening";
  }

  // ---- the stream -----------------------------------------------------------

  function take(ev) {
    if (typeof ev !== "object" || ev === null || typeof ev.seq !== "number" || ev.seq <= lastSeq) return;
    lastSeq = ev.seq;
    if (typeof ev.time === "number" && ev.time >= inputTime) { inputTime = ev.time; inputWall = Date.now(); }
    events.push(ev);
    addLogRow(ev);
    while (events.length > config.history) {
      const old = events.shift();
      const row = logRows.get(old.seq);
      if (row) { row.remove(); logRows.delete(old.seq); }
    }
    updateNow(ev);
    updateMarker(ev);
  }

  let pendingCount = false;
  function showCount() {
    if (pendingCount) return;
    pendingCount = true;
    requestAnimationFrame(() => {
      pendingCount = false;
      $("count").textContent = events.length + " events";
      updateShown();
    });
  }

  function setStatus(text, cls) {
    const s = $("status");
    s.textContent = text;
    s.className = "status" + (cls ? " " + cls : "");
  }

  function connect() {
    const source = new EventSource("/api/stream");
    source.addEventListener("open", () => setStatus(ended ? "input ended, results kept" : "live", ended ? "ended" : ""));
    source.addEventListener("event", (e) => {
      let ev;
      try { ev = JSON.parse(e.data); } catch (err) { return; }
      take(ev);
      showCount();
    });
    source.addEventListener("end", () => {
      ended = true;
      tick();
      setStatus("input ended, results kept", "ended");
    });
    source.addEventListener("error", () => setStatus("reconnecting", "down"));
  }

  function tick() {
    for (const ch of channels.values()) if (ch.call) ch.cells.duration.textContent = fmtSeconds(nowInput() - ch.call.start);
  }

  async function start() {
    try {
      const res = await fetch("/api/config", { cache: "no-store" });
      const c = await res.json();
      if (typeof c.map_tiles === "string") config.map_tiles = c.map_tiles;
      if (Number.isInteger(c.history) && c.history > 0) config.history = c.history;
    } catch (e) { /* the defaults serve */ }
    $("protocol").addEventListener("change", applyFilter);
    $("search").addEventListener("input", applyFilter);
    $("listen").addEventListener("click", toggleListen);
    setupMap();
    connect();
    setInterval(tick, 250);
  }

  start();
})();
