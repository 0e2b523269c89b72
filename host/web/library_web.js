// The browser side of the web host: the canvas, the start and end screens,
// the wait for the next animation frame, full screen, and the Web Audio
// output that pulls its samples from the players in wasm memory.
//
// The program runs on the page's thread. Its own thread of control is
// suspended (Asyncify) inside qv_web_open_canvas, qv_web_wait_frame and
// emscripten_sleep; only then do the event handlers and the audio callback
// below run, so they never meet the program half-way through a frame.
//
// The picture is drawn by a worker of its own that owns the canvas (an
// OffscreenCanvas) and paces the program with its animation frames: the
// browser then puts its frames straight on the screen, and the page's thread
// takes part in none of it (no frame of its own to lay out, paint or commit),
// which halves what reading at rest costs. Where a browser has no
// OffscreenCanvas or no workers, the page's thread draws and paces itself.

mergeInto(LibraryManager.library, {
  $qvWeb: {
    canvas: null,
    surface: null,    // where the picture goes: the drawing worker or the canvas itself
    audio: null,      // { context, node } once the start click made them

    canvasElement: function() {
      if (!qvWeb.canvas) {
        qvWeb.canvas = document.getElementById('canvas');
        if (qvWeb.canvas) qvWeb.canvas.addEventListener('contextmenu', function(e) { e.preventDefault(); });
      }
      return qvWeb.canvas;
    },

    // What the surfaces share, run in the drawing worker or on the page: a
    // black screen with a few centred lines of text, in the browser's own
    // monospace font (the magazine's fonts live in the program), and the
    // rows of a picture.
    drawing: function() {
      return {
        notice: function(g, width, height, lines) {
          g.fillStyle = '#000';
          g.fillRect(0, 0, width, height);
          g.textAlign = 'center';
          g.textBaseline = 'middle';
          for (var i = 0; i < lines.length; ++i) {
            g.fillStyle = lines[i].colour;
            g.font = lines[i].font;
            g.fillText(lines[i].text, width / 2, lines[i].y);
          }
        },
        // `rows`: an ArrayBuffer that starts with `count` RGBA rows of `width` pixels.
        rows: function(g, width, first, count, rows) {
          g.putImageData(new ImageData(new Uint8ClampedArray(rows, 0, width * count * 4), width, count), 0, first);
        },
      };
    },

    // The drawing worker's script. Messages in: { canvas } once, then any of
    // { notice }, { rows, first, count } and { frame: n }, which it answers
    // at its next animation frame with { frame: n, spare }, handing back the
    // rows' buffer; { read } asks for pixels back ({ read, pixels }). One
    // message each way a frame.
    drawingWorker: function(drawing) {
      var draw = drawing();
      var canvas = null, g = null;
      postMessage({ running: true });
      onmessage = function(e) {
        var m = e.data;
        if (m.canvas) {
          canvas = m.canvas;
          g = canvas.getContext('2d', { alpha: false });
        }
        // Rows sent with a message were shown before what it asks for.
        if (m.rows) draw.rows(g, canvas.width, m.first, m.count, m.rows);
        if (m.notice) draw.notice(g, canvas.width, canvas.height, m.notice);
        if (m.frame) {
          requestAnimationFrame(function() {
            if (m.rows) postMessage({ frame: m.frame, spare: m.rows }, [m.rows]);
            else postMessage({ frame: m.frame });
          });
        } else if (m.rows) {
          postMessage({ spare: m.rows }, [m.rows]);
        }
        if (m.read) {
          var pixels = g.getImageData(m.x, m.y, m.width, m.height).data;
          postMessage({ read: m.read, pixels: pixels }, [pixels.buffer]);
        }
      };
    },

    // The picture's surface, made once the canvas has its size:
    // - notice(lines): a notice screen;
    // - rows(pixels, first, count): rows first .. first + count - 1 of the
    //   canvas-sized RGBA picture at `pixels` (wasm memory);
    // - nextFrame(wake): calls wake() at the next frame the screen shows;
    // - pixels(x, y, width, height): a promise of the RGBA pixels shown there.
    // Calls ready(surface) once it is made: the canvas goes to a worker only
    // once the worker has shown that it runs, so that a worker the page may
    // not start leaves the drawing to the page.
    makeSurface: function(canvas, ready) {
      var drawing = qvWeb.drawing;
      var draw = drawing();
      var onPage = function() {
        var g = canvas.getContext('2d', { alpha: false });
        var image = null;  // the picture in wasm memory, while that stays where it is
        return {
          worker: false,
          notice: function(lines) { draw.notice(g, canvas.width, canvas.height, lines); },
          rows: function(pixels, first, count) {
            if (!image || image.data.buffer !== HEAPU8.buffer || image.data.byteOffset !== pixels) {
              image = new ImageData(new Uint8ClampedArray(HEAPU8.buffer, pixels, canvas.width * canvas.height * 4),
                                    canvas.width, canvas.height);
            }
            g.putImageData(image, 0, 0, 0, first, canvas.width, count);
          },
          nextFrame: function(wake) { requestAnimationFrame(function() { wake(); }); },
          pixels: function(x, y, width, height) {
            return Promise.resolve(g.getImageData(x, y, width, height).data);
          },
        };
      };
      if (typeof OffscreenCanvas === 'undefined' || !canvas.transferControlToOffscreen || typeof Worker === 'undefined' ||
          typeof Blob === 'undefined' || typeof URL === 'undefined' || !URL.createObjectURL) {
        ready(onPage());
        return;
      }
      var worker;
      try {
        var script = '(' + qvWeb.drawingWorker.toString() + ')(' + drawing.toString() + ');';
        var url = URL.createObjectURL(new Blob([script], { type: 'text/javascript' }));
        worker = new Worker(url);
        URL.revokeObjectURL(url);
      } catch (e) {
        ready(onPage());  // a page that may not start workers (some file:// settings)
        return;
      }
      // A worker that fails to load, or says nothing for two seconds, is
      // given up.
      var settled = false;
      var giveUp = function() {
        if (settled) return;
        settled = true;
        worker.terminate();
        ready(onPage());
      };
      var patience = setTimeout(giveUp, 2000);
      worker.onerror = function(e) {
        if (e.preventDefault) e.preventDefault();
        giveUp();
      };
      worker.onmessage = function(e) {
        if (settled || !e.data.running) return;
        settled = true;
        clearTimeout(patience);
        worker.onerror = function(e) {
          qvWeb.setCaption('Error: the picture\'s worker failed (' + (e.message || 'unknown') + ')');
        };
        ready(inWorker());
      };
      var inWorker = function() {
        var offscreen = canvas.transferControlToOffscreen();
        worker.postMessage({ canvas: offscreen }, [offscreen]);
        var frame = 0, waiting = null, waitingSince = 0, reads = {}, lastRead = 0;
        var wakeWaiting = function() {
          var wake = waiting;
          waiting = null;
          if (wake) wake();
        };
        // Frame-sized buffers that carry rows to the worker and come back: no
        // new memory for the picture from frame to frame.
        var spares = [];
        var rows = null;  // the rows of the coming frame, sent with it
        var send = function(message) {
          if (rows) {
            message.rows = rows.rows;
            message.first = rows.first;
            message.count = rows.count;
            worker.postMessage(message, [rows.rows]);
            rows = null;
          } else {
            worker.postMessage(message);
          }
        };
        worker.onmessage = function(e) {
          var m = e.data;
          if (m.spare) spares.push(m.spare);
          if (m.frame && m.frame === frame) wakeWaiting();
          if (m.read && reads[m.read]) {
            reads[m.read](new Uint8ClampedArray(m.pixels));
            delete reads[m.read];
          }
        };
        // A hidden page's worker gets no animation frames, and a browser may
        // stop them for a window it thinks nobody sees: a frame asked for then
        // must not keep the program (and the music's refill) waiting. Hiding
        // wakes it at once; anything else within a tenth of a second.
        document.addEventListener('visibilitychange', function() {
          if (document.hidden) wakeWaiting();
        });
        setInterval(function() {
          if (waiting && performance.now() - waitingSince > 100) wakeWaiting();
        }, 250);
        return {
          worker: true,
          notice: function(lines) { send({ notice: lines }); },
          rows: function(pixels, first, count) {
            if (rows) send({});
            var rowBytes = canvas.width * 4;
            var buffer = spares.pop() || new ArrayBuffer(rowBytes * canvas.height);
            new Uint8Array(buffer).set(HEAPU8.subarray(pixels + first * rowBytes, pixels + (first + count) * rowBytes));
            rows = { rows: buffer, first: first, count: count };
          },
          nextFrame: function(wake) {
            waiting = wake;
            waitingSince = performance.now();
            send({ frame: ++frame });
          },
          pixels: function(x, y, width, height) {
            return new Promise(function(resolve) {
              reads[++lastRead] = resolve;
              send({ read: lastRead, x: x, y: y, width: width, height: height });
            });
          },
        };
      };
    },

    drawNotice: function(lines) {
      if (qvWeb.surface) qvWeb.surface.notice(lines);
    },

    // Web Audio at 44100 Hz: a script processor that asks the program for
    // each block of samples. Made inside the start click, where the browser
    // allows sound to begin. The processor's blocks of 2048 frames already
    // put about 46 ms between the program and the speaker, so the device may
    // take its larger playback buffers too: the audio threads then wake half
    // as often.
    startAudio: function() {
      window.qvAudio = { context: null, framesPlayed: 0 };
      var AudioContextType = window.AudioContext || window.webkitAudioContext;
      if (!AudioContextType) return;
      try {
        var context = new AudioContextType({ sampleRate: 44100, latencyHint: 'playback' });
        var node = context.createScriptProcessor(2048, 0, 2);
        node.onaudioprocess = function(e) {
          var left = e.outputBuffer.getChannelData(0);
          var right = e.outputBuffer.getChannelData(1);
          var frames = left.length;
          if (ABORT) {
            left.fill(0);
            right.fill(0);
            return;
          }
          var handed = _qv_web_audio_render(frames);
          var base = _qv_web_audio_samples() >> 2;
          left.set(HEAPF32.subarray(base, base + frames));
          right.set(HEAPF32.subarray(base + frames, base + 2 * frames));
          window.qvAudio.framesPlayed += handed;
        };
        node.connect(context.destination);
        if (context.resume) context.resume();
        // The browser or the system may suspend the context later (another
        // tab or a call taking the sound, a device change): ask it back at
        // once, and again at the reader's next click or key, which some
        // browsers require, until the program ends.
        var resumeAudio = function() {
          if (qvWeb.audioEnded || !context.resume || context.state === 'running' || context.state === 'closed') return;
          var resumed = context.resume();
          if (resumed && resumed.catch) resumed.catch(function() {});
        };
        context.onstatechange = resumeAudio;
        window.addEventListener('pointerdown', resumeAudio, true);
        window.addEventListener('keydown', resumeAudio, true);
        document.addEventListener('visibilitychange', resumeAudio);
        qvWeb.audio = { context: context, node: node };
        window.qvAudio.context = context;
      } catch (e) {
        qvWeb.audio = null;
      }
    },

    // Pointer events for mouse, pen and touch alike, handed to the program
    // as frame-independent CSS pixels from the canvas box's corner (the host
    // maps them to frame pixels):
    //   kind 0 move, 1 left button down, 2 left button up, 3 wheel notch (x: -1 or +1).
    // A mouse or pen is a pointer with a left button. A touch is one of:
    // - a tap: a click where the finger was lifted;
    // - a drag of the scroll thumb, when it starts at the right edge of the
    //   text: the button held on the thumb's column, following the finger;
    // - a swipe over the text: wheel notches as the finger moves (one per
    //   notch of the page's text height), then a few more after a flick,
    //   slowing down.
    pointer: null,  // the touch being followed
    glide: 0,       // the animation frame of the slide after a flick
    touchSetUp: false,

    // A release waits until the program has taken in what was sent before
    // it: a finger lifted right after its last move (or a mouse button
    // released right after a drag) then leaves the thumb where it was let go,
    // not where the previous frame saw it.
    unseen: false,          // pointer events the program has not yet taken in
    releaseWaiting: false,

    sendPointer: function(kind, x, y) {
      if (ABORT) return;
      if (kind === 2 && qvWeb.unseen) {
        qvWeb.releaseWaiting = true;
        return;
      }
      if (qvWeb.releaseWaiting) {  // anything after the release keeps its order
        qvWeb.releaseWaiting = false;
        _qv_web_pointer(2, 0, 0);
      }
      _qv_web_pointer(kind, x, y);
      qvWeb.unseen = kind !== 2;
    },

    // The program has run up to its next wait: it has taken in every event
    // sent before.
    frameTaken: function() {
      qvWeb.unseen = false;
      if (qvWeb.releaseWaiting) {
        qvWeb.releaseWaiting = false;
        if (!ABORT) _qv_web_pointer(2, 0, 0);
      }
    },

    listenToPointers: function() {
      if (qvWeb.touchSetUp) return;
      qvWeb.touchSetUp = true;
      var canvas = qvWeb.canvasElement();
      var FRAME_WIDTH = 800, FRAME_HEIGHT = 600;
      var NOTCH = 48;          // frame pixels of finger travel per wheel notch (4 lines of 12)
      var TAP_SLOP = 10;       // frame pixels a tap may wander
      var THUMB_X = 785;       // inside the thumb's column in both skins
      var place = function(e) {
        var box = canvas.getBoundingClientRect();
        var scale = Math.min(box.width / FRAME_WIDTH, box.height / FRAME_HEIGHT) || 1;
        var offsetX = (box.width - FRAME_WIDTH * scale) / 2, offsetY = (box.height - FRAME_HEIGHT * scale) / 2;
        var css = { x: e.clientX - box.left, y: e.clientY - box.top };
        css.frameX = (css.x - offsetX) / scale;
        css.frameY = (css.y - offsetY) / scale;
        css.scale = scale;
        css.offsetX = offsetX;
        css.offsetY = offsetY;
        return css;
      };
      var toCss = function(p, frameX, frameY) {
        return { x: p.offsetX + (frameX + 0.5) * p.scale, y: p.offsetY + (frameY + 0.5) * p.scale };
      };
      var stopGlide = function() {
        if (qvWeb.glide) cancelAnimationFrame(qvWeb.glide);
        qvWeb.glide = 0;
      };
      // Finger travel (frame pixels, up is negative) to notches: moving the
      // text up shows what is below it, as the wheel turned towards the user.
      var scrollBy = function(t, dy) {
        t.travel += dy;
        while (t.travel <= -NOTCH) { qvWeb.sendPointer(3, -1, 0); t.travel += NOTCH; }
        while (t.travel >= NOTCH) { qvWeb.sendPointer(3, 1, 0); t.travel -= NOTCH; }
      };

      canvas.addEventListener('pointerdown', function(e) {
        if (e.pointerType !== 'touch') {
          if (e.button !== 0) return;
          var m = place(e);
          qvWeb.sendPointer(0, m.x, m.y);
          qvWeb.sendPointer(1, m.x, m.y);
          e.preventDefault();
          return;
        }
        e.preventDefault();
        if (qvWeb.pointer) return;  // one finger at a time
        stopGlide();
        var p = place(e);
        var onThumb = p.frameX >= 760 && p.frameY > 193 && p.frameY < 570;
        qvWeb.pointer = { id: e.pointerId, mode: onThumb ? 'thumb' : 'tap', startX: p.frameX, startY: p.frameY,
                          lastY: p.frameY, travel: 0, moves: [{ y: p.frameY, t: e.timeStamp }] };
        if (onThumb) {
          var at = toCss(p, THUMB_X, p.frameY);
          qvWeb.sendPointer(0, at.x, at.y);
          qvWeb.sendPointer(1, at.x, at.y);
        }
        try { canvas.setPointerCapture(e.pointerId); } catch (err) { /* gone already */ }
      });

      canvas.addEventListener('pointermove', function(e) {
        if (e.pointerType !== 'touch') {
          var m = place(e);
          qvWeb.sendPointer(0, m.x, m.y);
          return;
        }
        var t = qvWeb.pointer;
        if (!t || t.id !== e.pointerId) return;
        e.preventDefault();
        var p = place(e);
        if (t.mode === 'thumb') {
          var at = toCss(p, THUMB_X, p.frameY);
          qvWeb.sendPointer(0, at.x, at.y);
          return;
        }
        if (t.mode === 'swipe') {
          scrollBy(t, p.frameY - t.lastY);
        } else if (Math.hypot(p.frameX - t.startX, p.frameY - t.startY) > TAP_SLOP) {
          t.mode = 'swipe';  // the text follows the finger from where it touched
          scrollBy(t, p.frameY - t.startY);
        }
        t.lastY = p.frameY;
        t.moves.push({ y: p.frameY, t: e.timeStamp });
        if (t.moves.length > 6) t.moves.shift();
      });

      var release = function(e) {
        if (e.pointerType !== 'touch') {
          if (e.button === 0 || e.type === 'pointercancel') qvWeb.sendPointer(2, 0, 0);
          return;
        }
        var t = qvWeb.pointer;
        if (!t || t.id !== e.pointerId) return;
        qvWeb.pointer = null;
        if (t.mode === 'thumb') {
          qvWeb.sendPointer(2, 0, 0);
        } else if (t.mode === 'tap' && e.type === 'pointerup') {
          var p = place(e);
          qvWeb.sendPointer(0, p.x, p.y);
          qvWeb.sendPointer(1, p.x, p.y);
          qvWeb.sendPointer(2, 0, 0);
        } else if (t.mode === 'swipe' && e.type === 'pointerup') {
          // The finger's speed over its last moves, in frame pixels a
          // millisecond; the text slides on, slowing by a tenth a frame.
          var first = t.moves[0], last = t.moves[t.moves.length - 1];
          var velocity = last.t > first.t ? (last.y - first.y) / (last.t - first.t) : 0;
          var before = performance.now();
          var slide = function(now) {
            var dt = Math.min(now - before, 50);
            before = now;
            velocity *= Math.pow(0.9, dt / 16.7);
            if (Math.abs(velocity) < 0.05) { qvWeb.glide = 0; return; }
            scrollBy(t, velocity * dt);
            qvWeb.glide = requestAnimationFrame(slide);
          };
          if (Math.abs(velocity) > 0.3) qvWeb.glide = requestAnimationFrame(slide);
        }
      };
      canvas.addEventListener('pointerup', release);
      canvas.addEventListener('pointercancel', release);
      // A mouse button released off the canvas counts as well.
      window.addEventListener('pointerup', function(e) {
        if (e.pointerType !== 'touch' && e.target !== canvas && e.button === 0) qvWeb.sendPointer(2, 0, 0);
      });
    },

    // Keys make sense only where a keyboard is likely: a fine pointer that
    // can hover (a mouse or touchpad), not a phone's or tablet's touch screen.
    hasKeyboard: function() {
      return !window.matchMedia || window.matchMedia('(hover: hover) and (pointer: fine)').matches;
    },

    setCaption: function(text) {
      var caption = document.getElementById('caption-text');
      if (caption) caption.textContent = text;
    },

    // The start screen, until the reader clicks or taps it: then wakeUp(1).
    showStartScreen: function(canvas, width, height, wakeUp) {
      var lines = [
        { text: 'CLICK TO START', y: height / 2 - 24, font: 'bold 32px monospace', colour: '#e0e0e0' },
        { text: 'WARNING: THE INTRO FLASHES FULL-SCREEN COLOURS', y: height / 2 + 20, font: '16px monospace',
          colour: '#c08040' },
      ];
      if (qvWeb.hasKeyboard()) {
        lines.push({ text: 'F: FULL SCREEN   ESC: END', y: height / 2 + 60, font: '16px monospace', colour: '#707070' });
      }
      qvWeb.drawNotice(lines);
      canvas.style.cursor = 'pointer';
      qvWeb.setCaption('');
      document.body.classList.add('qv-ready');
      canvas.addEventListener('click', function started() {
        canvas.removeEventListener('click', started);
        qvWeb.startAudio();
        qvWeb.listenToPointers();
        window.addEventListener('keydown', function(e) {
          if (e.code === 'KeyF' && !e.repeat) qvWeb.toggleFullScreen();
        });
        canvas.style.cursor = 'none';
        qvWeb.setCaption(qvWeb.hasKeyboard() ? 'F: full screen \u00b7 Esc or QUIT: end' : '');
        wakeUp(1);
      });
    },

    toggleFullScreen: function() {
      var canvas = qvWeb.canvasElement();
      if (document.fullscreenElement) {
        if (document.exitFullscreen) document.exitFullscreen();
      } else if (canvas.requestFullscreen) {
        canvas.requestFullscreen().catch(function() {});
      }
    },
  },

  // Sizes the canvas's backing store, shows the start screen and returns
  // once the reader has clicked or tapped it (1), or 0 without a canvas. The
  // start screen appears only now that the program runs: until then the
  // page says it is loading.
  qv_web_open_canvas__deps: ['$qvWeb'],
  qv_web_open_canvas: function(title, width, height) {
    var canvas = qvWeb.canvasElement();
    if (!canvas) return 0;
    if (qvWeb.surface && (canvas.width !== width || canvas.height !== height)) {
      return 0;  // a drawing worker owns the canvas: its size is fixed
    }
    return Asyncify.handleSleep(function(wakeUp) {
      if (qvWeb.surface) {
        qvWeb.showStartScreen(canvas, width, height, wakeUp);
        return;
      }
      canvas.width = width;
      canvas.height = height;
      qvWeb.makeSurface(canvas, function(surface) {
        qvWeb.surface = surface;
        document.body.classList.toggle('qv-drawing-worker', surface.worker);
        // The shown picture, for tests and tools: a promise of its RGBA pixels.
        window.qvCanvasPixels = surface.pixels;
        qvWeb.showStartScreen(canvas, width, height, wakeUp);
      });
    });
  },

  // Shows the rows first .. first + count - 1 of the width x height RGBA
  // picture at `pixels` (wasm memory); the other rows are already there.
  qv_web_show_frame__deps: ['$qvWeb'],
  qv_web_show_frame: function(pixels, width, height, first, count) {
    var canvas = qvWeb.canvasElement();
    if (!qvWeb.surface || width !== canvas.width || height !== canvas.height) return;
    qvWeb.surface.rows(pixels, first, count);
  },

  // The article named by the page's address (#article-N), or 0.
  qv_web_linked_article: function() {
    var match = /^#article-([0-9]{1,2})$/.exec(location.hash);
    return match ? parseInt(match[1], 10) : 0;
  },

  // The address follows the open article, without a reload or a new history entry.
  qv_web_show_article: function(article) {
    try {
      history.replaceState(history.state, '', '#article-' + article);
    } catch (e) {
      // Some pages opened from disk refuse it; the reader goes on.
    }
  },

  // Suspends the program until the next frame the screen shows. A hidden
  // page gets no animation frames; a timer keeps the program (and the music's
  // refill) going there, as often as the browser lets it.
  qv_web_wait_frame__deps: ['$qvWeb'],
  qv_web_wait_frame: function() {
    return Asyncify.handleSleep(function(wakeUp) {
      var wake = function() {
        wakeUp(0);
        qvWeb.frameTaken();
      };
      if (document.hidden || !qvWeb.surface) {
        setTimeout(wake, 20);
      } else {
        qvWeb.surface.nextFrame(wake);
      }
    });
  },

  qv_web_show_cursor__deps: ['$qvWeb'],
  qv_web_show_cursor: function(visible) {
    qvWeb.canvasElement().style.cursor = visible ? 'default' : 'none';
  },

  // The size at which the page shows the canvas's picture, in CSS pixels: the
  // element's box (which keeps 4:3 on the page) or, in full screen, the part
  // of the screen that object-fit: contain gives it.
  qv_web_canvas_view__deps: ['$qvWeb'],
  qv_web_canvas_view: function(out) {
    var canvas = qvWeb.canvasElement();
    var box = canvas.getBoundingClientRect();
    var scale = Math.min(box.width / canvas.width, box.height / canvas.height);
    HEAPF64[out >> 3] = scale > 0 ? scale : 1;
    HEAPF64[(out >> 3) + 1] = (box.width - canvas.width * scale) / 2;
    HEAPF64[(out >> 3) + 2] = (box.height - canvas.height * scale) / 2;
  },

  // The quiet end: a black screen saying how to read again, the pointer
  // back, the sound stopped. A click reloads the page.
  qv_web_end_screen__deps: ['$qvWeb'],
  qv_web_end_screen: function() {
    var canvas = qvWeb.canvasElement();
    if (document.fullscreenElement && document.exitFullscreen) document.exitFullscreen().catch(function() {});
    qvWeb.drawNotice([
      { text: 'THE QUORVALINE CHARTS', y: canvas.height / 2 - 30, font: 'bold 24px monospace', colour: '#909090' },
      { text: 'CLICK OR RELOAD THE PAGE TO READ AGAIN', y: canvas.height / 2 + 16, font: '16px monospace',
        colour: '#606060' },
    ]);
    canvas.style.cursor = 'pointer';
    qvWeb.setCaption('');
    document.body.classList.remove('qv-ready');
    canvas.addEventListener('click', function() { location.reload(); });
    qvWeb.audioEnded = true;
    if (qvWeb.audio && qvWeb.audio.context.suspend) qvWeb.audio.context.suspend();
  },

  // 1 when the start click brought up Web Audio.
  qv_web_audio_ready__deps: ['$qvWeb'],
  qv_web_audio_ready: function() { return qvWeb.audio ? 1 : 0; },

  // A device error of the audio output: shown on the page, never blocking.
  qv_web_show_error__deps: ['$qvWeb'],
  qv_web_show_error: function(text) {
    qvWeb.canvasElement();
    qvWeb.setCaption('Error: ' + UTF8ToString(text));
  },
});
