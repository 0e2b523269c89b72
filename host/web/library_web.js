// The browser side of the web host: the canvas, the start and end screens,
// the wait for the next animation frame, full screen, and the Web Audio
// output that pulls its samples from the players in wasm memory.
//
// Everything here runs on the page's one thread. The program's own thread of
// control is suspended (Asyncify) inside qv_web_open_canvas, qv_web_wait_frame
// and emscripten_sleep; only then do the event handlers and the audio callback
// below run, so they never meet the program half-way through a frame.

mergeInto(LibraryManager.library, {
  $qvWeb: {
    canvas: null,
    context2d: null,
    caption: null,
    audio: null,      // { context, node } once the start click made them
    imageData: null,  // reused while the wasm memory stays the same
    imageBuffer: null,
    imagePointer: 0,

    canvasElement: function() {
      if (!qvWeb.canvas) {
        qvWeb.canvas = document.getElementById('canvas');
        qvWeb.caption = document.getElementById('caption');
        qvWeb.context2d = qvWeb.canvas.getContext('2d', { alpha: false });
        qvWeb.canvas.addEventListener('contextmenu', function(e) { e.preventDefault(); });
      }
      return qvWeb.canvas;
    },

    // A black screen with a few centred lines of text, in the page's own
    // monospace font (the magazine's fonts live in the program).
    drawNotice: function(lines) {
      var canvas = qvWeb.canvasElement();
      var g = qvWeb.context2d;
      g.fillStyle = '#000';
      g.fillRect(0, 0, canvas.width, canvas.height);
      g.textAlign = 'center';
      g.textBaseline = 'middle';
      for (var i = 0; i < lines.length; ++i) {
        g.fillStyle = lines[i].colour;
        g.font = lines[i].font;
        g.fillText(lines[i].text, canvas.width / 2, lines[i].y);
      }
    },

    // Web Audio at 44100 Hz: a script processor that asks the program for
    // each block of samples. Made inside the start click, where the browser
    // allows sound to begin.
    startAudio: function() {
      window.qvAudio = { context: null, framesPlayed: 0 };
      var AudioContextType = window.AudioContext || window.webkitAudioContext;
      if (!AudioContextType) return;
      try {
        var context = new AudioContextType({ sampleRate: 44100 });
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
  // once the reader has clicked it (1), or 0 without a canvas.
  qv_web_open_canvas__deps: ['$qvWeb'],
  qv_web_open_canvas: function(title, width, height) {
    var canvas = qvWeb.canvasElement();
    if (!canvas || !qvWeb.context2d) return 0;
    return Asyncify.handleSleep(function(wakeUp) {
      document.title = UTF8ToString(title);
      canvas.width = width;
      canvas.height = height;
      qvWeb.drawNotice([
        { text: 'CLICK TO START', y: height / 2 - 12, font: 'bold 32px monospace', colour: '#e0e0e0' },
        { text: 'F: FULL SCREEN   ESC: END', y: height / 2 + 36, font: '16px monospace', colour: '#707070' },
      ]);
      canvas.style.cursor = 'pointer';
      canvas.addEventListener('click', function started() {
        canvas.removeEventListener('click', started);
        qvWeb.startAudio();
        window.addEventListener('keydown', function(e) {
          if (e.code === 'KeyF' && !e.repeat) qvWeb.toggleFullScreen();
        });
        canvas.style.cursor = 'none';
        if (qvWeb.caption) qvWeb.caption.textContent = 'F: full screen \u00b7 Esc or QUIT: end';
        wakeUp(1);
      });
    });
  },

  // Copies width x height RGBA pixels at `pixels` (wasm memory) to the canvas.
  qv_web_show_frame__deps: ['$qvWeb'],
  qv_web_show_frame: function(pixels, width, height) {
    if (qvWeb.imageBuffer !== HEAPU8.buffer || qvWeb.imagePointer !== pixels || !qvWeb.imageData ||
        qvWeb.imageData.width !== width || qvWeb.imageData.height !== height) {
      qvWeb.imageData = new ImageData(new Uint8ClampedArray(HEAPU8.buffer, pixels, width * height * 4), width, height);
      qvWeb.imageBuffer = HEAPU8.buffer;
      qvWeb.imagePointer = pixels;
    }
    qvWeb.context2d.putImageData(qvWeb.imageData, 0, 0);
  },

  // Suspends the program until the browser's next animation frame. A hidden
  // page gets no animation frames; a timer keeps the program (and the music's
  // refill) going there, as often as the browser lets it.
  qv_web_wait_frame: function() {
    return Asyncify.handleSleep(function(wakeUp) {
      if (document.hidden) {
        setTimeout(function() { wakeUp(0); }, 20);
      } else {
        requestAnimationFrame(function() { wakeUp(0); });
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
    if (qvWeb.caption) qvWeb.caption.textContent = '';
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
    if (qvWeb.caption) qvWeb.caption.textContent = 'Error: ' + UTF8ToString(text);
  },
});
