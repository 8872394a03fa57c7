// The page around the show: fetches the program and the show's data into its
// in-memory files, shows the title picture until the viewer clicks, makes
// the audio context on that click (browsers allow sound only then), scales
// the canvas by whole factors and shows what the program says in the page.
//
// Query: ?depth=16 makes the display refuse 32 bits per pixel. ?headless is
// the deterministic mode: it starts at once without sound, its clock is the
// headless program's virtual one, and with &at=LIST (as "100,3200-3210") it
// hands those frames over as window.sixsceneFrames[n] (the SHA-256 of the
// frame's RGB bytes, in hex) and ends after the last; window.sixsceneDone
// then becomes true.
//
// Written for old browsers too, so that one without WebAssembly still shows
// a message rather than a blank page.
(function () {
  "use strict";

  var kDataDir = "/sixscene/";  // the program's folder in its files
  var kTitlePicture = "bitmap/moldivane.Raw";

  function $(id) { return document.getElementById(id); }
  function show(id, shown) { $(id).hidden = !shown; }

  // The message box of the desktop, in the page: it stays until reloaded.
  function message(caption, text, detail) {
    var box = $("message");
    box.querySelector(".caption").textContent = caption || "";
    box.querySelector(".text").textContent = text || "";
    box.querySelector(".detail").textContent = detail || "";
    show("start", false);
    show("end", false);
    show("message", true);
  }

  if (typeof WebAssembly !== "object" || typeof WebAssembly.instantiate !== "function" ||
      typeof window.fetch !== "function" || typeof window.Promise !== "function") {
    message("", "This show needs a browser with WebAssembly.",
            "Open the page in a current Firefox, Chrome, Edge or Safari.");
    return;
  }

  var params = new URLSearchParams(window.location.search);
  var deterministic = params.has("headless");
  var depth = params.get("depth") === "16" ? 16 : 32;
  var handOver = parseFrames(params.get("at"));

  var canvas = $("screen");
  var context2d = canvas.getContext("2d");
  var picture = context2d.createImageData(320, 240);
  var program = null;          // the module, once loaded
  var audio = null;            // the AudioContext, made on the first click
  var started = 0;             // performance.now() at the click (or the start)
  var firstPaint = true;
  var playing = false;
  var errorLines = [];         // what the program said on stderr
  var pendingFrames = [];

  var clicked = false;

  window.sixsceneFrames = {};
  window.sixsceneDone = false;

  // The page works: the title and "click to play" while the rest loads.
  show("message", false);
  show("start", !deterministic);

  // "100,3200-3210" as frame numbers; null when not given or not valid.
  function parseFrames(text) {
    if (!text) return null;
    var frames = [];
    var parts = text.split(",");
    for (var i = 0; i < parts.length; ++i) {
      var m = /^(\d+)(?:-(\d+))?$/.exec(parts[i].trim());
      if (!m) return null;
      var first = parseInt(m[1], 10), last = m[2] ? parseInt(m[2], 10) : first;
      for (var f = first; f <= last && frames.length < 100000; ++f) frames.push(f);
    }
    return frames;
  }

  // --- The canvas: whole factors of 320x240 in device pixels, centred ------

  function fit() {
    var ratio = window.devicePixelRatio || 1;
    var scale = Math.max(1, Math.floor(Math.min(window.innerWidth * ratio / 320,
                                                window.innerHeight * ratio / 240)));
    canvas.style.width = (320 * scale / ratio) + "px";
    canvas.style.height = (240 * scale / ratio) + "px";
  }
  window.addEventListener("resize", fit);
  document.addEventListener("fullscreenchange", fit);
  fit();

  function paint(rgba) {
    picture.data.set(rgba);
    context2d.putImageData(picture, 0, 0);
  }

  function drawTitle(rgb) {
    if (rgb.length < 320 * 240 * 3 || playing) return;
    var rgba = new Uint8Array(320 * 240 * 4);
    for (var i = 0, j = 0; i < 320 * 240 * 3; i += 3, j += 4) {
      rgba[j] = rgb[i];
      rgba[j + 1] = rgb[i + 1];
      rgba[j + 2] = rgb[i + 2];
      rgba[j + 3] = 255;
    }
    paint(rgba);
  }

  // --- Full screen ------------------------------------------------------------

  function toggleFullscreen() {
    var root = document.documentElement;
    if (document.fullscreenElement) {
      document.exitFullscreen();
    } else if (root.requestFullscreen) {
      root.requestFullscreen().catch(function () {});
    }
  }
  $("fullscreen").addEventListener("click", function (event) {
    event.stopPropagation();
    toggleFullscreen();
    $("fullscreen").blur();
  });
  document.addEventListener("keydown", function (event) {
    var f = event.code === "KeyF" && !event.ctrlKey && !event.altKey && !event.metaKey;
    var altEnter = (event.key === "Enter") && event.altKey;
    if ((f || altEnter) && !event.repeat) {
      event.preventDefault();
      toggleFullscreen();
    }
  });
  document.addEventListener("fullscreenchange", function () {
    show("fullscreen", !document.fullscreenElement);
  });

  // --- The program and its data -------------------------------------------------

  function loadProgram() {
    return new Promise(function (resolve, reject) {
      var script = document.createElement("script");
      script.src = "sixscene.js";
      script.onerror = function () { reject(new Error("sixscene.js could not be fetched")); };
      script.onload = function () {
        if (typeof window.Sixscene !== "function") {
          reject(new Error("sixscene.js is not the program"));
          return;
        }
        window.Sixscene({
          print: function (text) { console.log(text); },
          printErr: function (text) {
            console.warn(text);
            errorLines.push(text);
          },
          onAbort: function (what) {
            message("ERROR", "The show stopped.", String(what || ""));
          },
          sixsceneMessageBox: function (caption, text) {
            // The line before the box says which file and why.
            var detail = "";
            for (var i = errorLines.length - 1; i >= 0; --i) {
              if (/^sixscene: /.test(errorLines[i]) && errorLines[i].indexOf(text.trim()) < 0) {
                detail = errorLines[i].replace(/^sixscene: /, "");
                break;
              }
            }
            message(caption, text, detail);
          },
          sixscenePaint: function (rgba) {
            paint(rgba);
            if (firstPaint) {
              firstPaint = false;
              window.sixsceneFirstFrameMs = performance.now() - started;
            }
          },
          sixsceneFrame: function (frame, rgb) {
            pendingFrames.push(crypto.subtle.digest("SHA-256", rgb).then(function (digest) {
              var bytes = new Uint8Array(digest), hex = "";
              for (var i = 0; i < bytes.length; ++i) hex += (bytes[i] < 16 ? "0" : "") + bytes[i].toString(16);
              window.sixsceneFrames[frame] = hex;
            }));
          },
          sixsceneEnded: ended
        }).then(resolve, reject);
      };
      document.head.appendChild(script);
    });
  }

  // The data files, each fetched on its own: one missing on the server is
  // missing in the program's folder too, and the program says so as the
  // desktop one does.
  function loadData() {
    return fetch("data.json").then(function (response) {
      if (!response.ok) throw new Error("data.json: " + response.status + " " + response.statusText);
      return response.json();
    }).then(function (names) {
      return Promise.all(names.map(function (name) {
        return fetch(name).then(function (response) {
          if (!response.ok) {
            console.warn("sixscene: " + name + ": " + response.status + " " + response.statusText);
            return null;
          }
          return response.arrayBuffer();
        }, function (error) {
          console.warn("sixscene: " + name + ": " + error);
          return null;
        }).then(function (bytes) {
          var file = bytes && { name: name, bytes: new Uint8Array(bytes) };
          if (file && name === kTitlePicture) drawTitle(file.bytes);
          return file;
        });
      }));
    });
  }

  function install(files) {
    for (var i = 0; i < files.length; ++i) {
      if (!files[i]) continue;
      var path = kDataDir + files[i].name;
      program.FS.mkdirTree(path.substring(0, path.lastIndexOf("/")));
      program.FS.writeFile(path, files[i].bytes);
    }
  }

  // --- Playing ------------------------------------------------------------------

  function start() {
    show("start", false);
    show("end", false);
    show("message", false);
    errorLines = [];
    firstPaint = true;
    started = performance.now();
    if (handOver) {
      for (var i = 0; i < handOver.length; ++i) program._sixscene_hand_over(handOver[i]);
    }
    program.sixsceneAudioContext = audio;
    var status = program._sixscene_start(depth, deterministic ? 1 : 0);
    playing = status === 0;
    if (status !== 0 && deterministic) {
      window.sixsceneError = $("message").querySelector(".text").textContent;
      window.sixsceneDone = true;
    }
  }

  function ended(status, frames, position) {
    playing = false;
    if (deterministic) {
      var elapsed = performance.now() - started;
      Promise.all(pendingFrames).then(function () {
        window.sixsceneStats = { frames: frames, ms: elapsed, position: position, status: status };
        window.sixsceneDone = true;
      });
      return;
    }
    show("end", true);
    $("again").focus();
  }

  // Sound is only allowed from a click (or a key) on the page.
  function makeAudio() {
    if (audio) {
      if (audio.state === "suspended") audio.resume();
      return;
    }
    var Context = window.AudioContext || window.webkitAudioContext;
    if (!Context) return;
    try {
      audio = new Context({ sampleRate: 48000, latencyHint: "interactive" });
      if (audio.state === "suspended") audio.resume();
    } catch (error) {
      console.warn("sixscene: no audio context (" + error + "); the show plays silently");
      audio = null;
    }
  }

  var ready = Promise.all([loadProgram(), loadData()]).then(function (results) {
    program = results[0];
    install(results[1]);
  });

  function play() {
    if (clicked) return;
    clicked = true;
    makeAudio();
    show("start", false);
    ready.then(start);
  }

  // Tests read the show's state here.
  window.sixscene = {
    status: function () {
      if (!program) return null;
      var s = program._sixscene_status;
      return { playing: s(0) === 1, frames: s(1), position: s(2), scene: s(3), musicMs: s(4),
               paused: s(5) === 1, muted: s(6) === 1, volume: s(7) };
    },
    audioContext: function () { return audio; }
  };

  ready.then(function () {
    if (deterministic) start();
  }, function (error) {
    message("ERROR", "Couldn't load the show.", String(error && error.message || error));
    if (deterministic) {
      window.sixsceneError = String(error);
      window.sixsceneDone = true;
    }
  });

  $("start").addEventListener("click", play);
  $("start").addEventListener("keydown", function (event) {
    if (event.key === "Enter" || event.key === " ") {
      event.preventDefault();
      play();
    }
  });
  $("again").addEventListener("click", function () {
    makeAudio();
    start();
  });
})();
