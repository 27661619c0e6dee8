#!/usr/bin/env python3
"""Writes the six browser pages (dark/light x both/camera/switcher) from one
template, so the views cannot drift apart. Run after editing this file:

    python3 resources/html/make-pages.py

The pages are static: every name that comes from the server is put in by
js/script.js as text, never as markup.
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))


def asset(kind, name):
    return "/assets?_type=%s&amp;_name=%s" % (kind, name)


def options(first, last, value_offset=0):
    return "".join('<option value="%d">%d</option>' % (n + value_offset, n)
                   for n in range(first, last + 1))


def icon(ident, title, fa, extra=""):
    return ('<button type="button" class="icon-btn" id="%s" title="%s"%s>'
            '<i class="fa %s" aria-hidden="true"></i></button>' % (ident, title, extra, fa))


def camera_panel(t):
    cams = "\n".join(
        '      <button type="button" class="btn %s cam-btn" id="cam%d" data-cam="%d" '
        'title="Camera #%d">#%d</button>' % (t["btn"], n, n - 1, n, n) for n in range(1, 9))
    pad_cells = [("Focus In", 5, "fa-plus-circle"), ("Tilt Up", 2, "fa-arrow-circle-up"),
                 ("Focus Out", 6, "fa-minus-circle"), ("Pan Left", 1, "fa-arrow-circle-left"),
                 ("Move Home", 4, "fa-home"), ("Pan Right", 0, "fa-arrow-circle-right"),
                 ("Zoom In", 7, "fa-search-plus"), ("Tilt Down", 3, "fa-arrow-circle-down"),
                 ("Zoom Out", 8, "fa-search-minus")]
    pad = "\n".join(
        '        <button type="button" class="icon-btn pad-btn" data-method="%d" title="%s">'
        '<i class="fa %s" aria-hidden="true"></i></button>' % (m, title, fa)
        for title, m, fa in pad_cells)
    presets = "\n".join(
        '        <div class="col-4"><div class="preset-box" data-preset="%d" id="preset%d">'
        '<img src="%s" alt=""><span class="preset-name">Preset %d</span></div></div>'
        % (n, n, asset("img", t["default"]), n) for n in range(1, 7))
    speeds = [("pan", "Pan", options(1, 24)), ("tilt", "Tilt", options(1, 24)),
              ("zoom", "Zoom", options(1, 7)), ("focus", "Focus", options(1, 7)),
              # The camera takes the recall speed as a list index: 0 is speed 1.
              ("preset", "Preset", options(1, 24, -1))]
    speed_cols = "\n".join(
        '        <div class="col"><label class="speed-label" for="%sSpeed">%s<br>Speed</label>'
        '<select class="custom-select custom-select-sm" id="%sSpeed">%s</select></div>'
        % (key, label, key, opts) for key, label, opts in speeds)
    return """    <section class="panel" id="cameraPanel">
      <h5>Camera Controls</h5>
      <div class="panel-icons">
        {cog}{refresh}
      </div>
      <div class="cam-row" id="camButtons">
{cams}
      </div>
      <div class="row mt-3">
        <div class="col-sm-5 mb-3">
        <div class="pad" id="pad">
{pad}
        </div>
        </div>
        <div class="col-sm-7">
        <div class="d-flex flex-wrap align-items-center mb-2">
          <div class="custom-control custom-radio custom-control-inline" title="Set Preset">
            <input type="radio" class="custom-control-input" name="presetMode" id="presetModeSet" value="set">
            <label class="custom-control-label" for="presetModeSet">Set</label>
          </div>
          <div class="custom-control custom-radio custom-control-inline" title="Recall Preset">
            <input type="radio" class="custom-control-input" name="presetMode" id="presetModeRecall" value="recall" checked>
            <label class="custom-control-label" for="presetModeRecall">Recall</label>
          </div>
          <div class="custom-control custom-checkbox custom-control-inline" title="Focus Auto">
            <input type="checkbox" class="custom-control-input" id="autoFocus">
            <label class="custom-control-label" for="autoFocus">Auto Focus</label>
          </div>
        </div>
        <div class="row no-gutters-sm" id="presetGrid">
{presets}
        </div>
        </div>
      </div>
      <div class="form-row mt-2" id="speeds">
{speed_cols}
      </div>
    </section>
""".format(cog=icon("camSettingsBtn", "Cameras Settings", "fa-cog"),
           refresh=icon("camRefreshBtn", "Refresh Camera Information", "fa-refresh"),
           cams=cams, pad=pad, presets=presets, speed_cols=speed_cols)


def switcher_panel(t):
    b = t["btn"]
    transitions = "".join('<option value="%d">%s</option>' % (i, name) for i, name in enumerate(
        ["Quick Play", "Cut", "Zoom", "Merge", "Wipe", "CubeZoom", "FadeToBlack"]))

    def row(label, ident, control, icons=""):
        return ('        <div class="switcher-row"><label for="%s">%s</label>%s%s</div>\n'
                % (ident, label, control, icons))

    def toggle(ident, label, status):
        return ('        <div class="switcher-row"><button type="button" class="btn btn-sm %s" '
                'id="%s">%s</button><span class="status-text" id="%sStatus">%s</span></div>\n'
                % (b, ident, label, ident, status))

    obs = ('      <div class="sub-panel" id="obsPanel">\n'
           '        <h6>OBS Controls</h6>\n'
           '        <div class="panel-icons">%s</div>\n' % icon("obsSettingsBtn", "OBS Settings", "fa-cog")
           + row("Sources:", "obsSources", '<select class="custom-select custom-select-sm" id="obsSources"></select>',
                 icon("obsSourcesRefresh", "Refresh OBS Source List", "fa-refresh"))
           + row("Volume:", "obsVolume", '<input type="range" class="custom-range" id="obsVolume" min="0" max="100" value="0">',
                 icon("obsMute", "Mute Volume", "fa-microphone"))
           + row("Transitions:", "obsTransitions", '<select class="custom-select custom-select-sm" id="obsTransitions"></select>',
                 icon("obsTransitionsRefresh", "Refresh Transaction List", "fa-refresh"))
           + toggle("obsStream", "Start/Stop Streaming", "No Streaming ...")
           + toggle("obsRecord", "Start/Stop Recording", "No Recording ...")
           + '      </div>\n')
    vmix = ('      <div class="sub-panel" id="vmixPanel">\n'
            '        <h6>VMix Controls</h6>\n'
            '        <div class="panel-icons">%s</div>\n' % icon("vmixSettingsBtn", "VMix Settings", "fa-cog")
            + row("Sources:", "vmixSources", '<select class="custom-select custom-select-sm" id="vmixSources"></select>',
                  icon("vmixSourcesRefresh", "Refresh VMix Source List", "fa-refresh"))
            + row("Source Volume:", "vmixSourceVolume", '<input type="range" class="custom-range" id="vmixSourceVolume" min="0" max="100" value="0">',
                  icon("vmixSourceMute", "Mute Source", "fa-microphone"))
            + row("Master Volume:", "vmixMasterVolume", '<input type="range" class="custom-range" id="vmixMasterVolume" min="0" max="100" value="0">',
                  icon("vmixMasterMute", "Mute Master", "fa-microphone"))
            + row("Preview:", "vmixPreview", '<select class="custom-select custom-select-sm" id="vmixPreview"></select>',
                  icon("vmixSetPreview", "Set Preview", "fa-check"))
            + row("Transitions:", "vmixTransitions", '<select class="custom-select custom-select-sm" id="vmixTransitions">%s</select>' % transitions,
                  icon("vmixApplyTransition", "Apply VMix Transition", "fa-play"))
            + toggle("vmixStream", "Start/Stop Streaming", "No Streaming...")
            + toggle("vmixRecord", "Start/Stop Recording", "No Recording...")
            + toggle("vmixPlayList", "Start/Stop PlayList", "PlayList Off...")
            + '      </div>\n')
    return """    <section class="panel" id="switcherPanel">
      <h5>Switcher Controls</h5>
      <div class="custom-control custom-checkbox custom-control-inline">
        <input type="checkbox" class="custom-control-input" id="showObs" checked>
        <label class="custom-control-label" for="showObs">OBS Controls</label>
      </div>
      <div class="custom-control custom-checkbox custom-control-inline">
        <input type="checkbox" class="custom-control-input" id="showVmix" checked>
        <label class="custom-control-label" for="showVmix">VMix Controls</label>
      </div>
{obs}{vmix}    </section>
""".format(obs=obs, vmix=vmix)


def modal(ident, title, body, buttons, t, extra_class=""):
    # No fade: a dialog answers "OK" or "Close" at once, even mid-animation.
    return """<div class="modal" id="{id}" tabindex="-1" role="dialog" aria-labelledby="{id}Title" aria-hidden="true">
  <div class="modal-dialog {extra}" role="document">
    <div class="modal-content">
      <div class="modal-header">
        <h5 class="modal-title" id="{id}Title">{title}</h5>
        <button type="button" class="close" data-dismiss="modal" aria-label="Close"><span aria-hidden="true">&times;</span></button>
      </div>
      <div class="modal-body">
{body}
      </div>
      <div class="modal-footer">
        <button type="button" class="btn {btn}" data-dismiss="modal">Close</button>
        {buttons}
      </div>
    </div>
  </div>
</div>
""".format(id=ident, title=title, body=body, buttons=buttons, btn=t["btn"], extra=extra_class)


def field(ident, label, kind="text"):
    return ('        <div class="form-group"><label for="%s">%s</label>'
            '<input type="%s" class="form-control form-control-sm" id="%s" autocomplete="off"></div>'
            % (ident, label, kind, ident))


def camera_modals(t):
    preset_body = """        <input type="hidden" id="presetNumInput" value="1">
{name}
        <div class="custom-control custom-radio custom-control-inline">
          <input type="radio" class="custom-control-input" name="presetImage" id="presetImageCaptured" checked>
          <label class="custom-control-label" for="presetImageCaptured">Use Captured Image</label>
        </div>
        <div class="custom-control custom-radio custom-control-inline">
          <input type="radio" class="custom-control-input" name="presetImage" id="presetImageUpload" disabled>
          <label class="custom-control-label" for="presetImageUpload">Upload Image</label>
        </div>
        <div class="mt-2"><img id="presetPreview" src="{img}" alt=""></div>""".format(
        name=field("presetNameInput", "Preset Name"), img=asset("img", t["default"]))
    cams = []
    for n in range(1, 9):
        cams.append("""        <div class="col-md-6 mb-3 cam-settings" data-cam="{n}">
          <div class="custom-control custom-radio custom-control-inline">
            <input type="radio" class="custom-control-input" name="camType{n}" id="camTypeIp{n}" value="ip" checked>
            <label class="custom-control-label" for="camTypeIp{n}">IP</label>
          </div>
          <div class="custom-control custom-radio custom-control-inline">
            <input type="radio" class="custom-control-input" name="camType{n}" id="camTypeUsb{n}" value="usb">
            <label class="custom-control-label" for="camTypeUsb{n}">USB</label>
          </div>
{name}
{addr}
          <div class="form-group"><label for="camUsb{n}">USB Camera #{n}</label><select class="custom-select custom-select-sm" id="camUsb{n}"></select></div>
        </div>""".format(n=n, name=field("camName%d" % n, "Camera Name #%d" % n),
                         addr=field("camAddr%d" % n, "IP Address #%d" % n)))
    cam_body = '        <div class="row">\n%s\n        </div>' % "\n".join(cams)
    return (modal("presetModal", "Preset Settings", preset_body,
                  '<button type="button" class="btn %s" id="presetOkBtn">OK</button>' % t["btn"], t)
            + modal("camSettingsModal", "Camera Settings", cam_body,
                    '<button type="button" class="btn %s" id="camSaveBtn">Save changes</button>' % t["btn"],
                    t, "modal-lg modal-dialog-scrollable"))


def switcher_modals(t):
    obs_body = "\n".join([field("obsIp", "IP Address"), field("obsPort", "Port Number", "number"),
                          field("obsPwd", "Password", "password")])
    vmix_body = "\n".join([field("vmixIp", "IP Address"), field("vmixPort", "Port Number", "number"),
                           field("vmixId", "User Name"), field("vmixPwd", "Password", "password")])
    return (modal("obsSettingsModal", "OBS Settings", obs_body,
                  '<button type="button" class="btn %s" id="obsSaveBtn">Save &amp; Reconnect</button>' % t["btn"], t)
            + modal("vmixSettingsModal", "VMix Settings", vmix_body,
                    '<button type="button" class="btn %s" id="vmixSaveBtn">Save &amp; Reconnect</button>' % t["btn"], t))


def single(panel):
    return ('  <div class="row justify-content-center">\n  <div class="col-xl-8">\n%s  </div>\n  </div>\n'
            % panel)


def page(theme, view):
    t = {
        "dark": {"btn": "btn-secondary", "nav": "navbar-dark", "logo": "corvanta-logo-dark.png",
                 "default": "default.png"},
        "light": {"btn": "btn-outline-secondary", "nav": "navbar-light", "logo": "corvanta-logo-light.png",
                  "default": "default-light.png"},
    }[theme]
    links = [("/", "Full View", "both"), ("/camera", "Camera View", "camera"),
             ("/switcher", "Switcher View", "switcher")]
    nav = "\n".join('        <li class="nav-item%s"><a class="nav-link" href="%s">%s</a></li>'
                    % (" active" if v == view else "", href, text) for href, text, v in links)
    if view == "both":
        content = ('  <div class="row">\n  <div class="col-xl-6">\n%s  </div>\n'
                   '  <div class="col-xl-6">\n%s  </div>\n  </div>\n'
                   % (camera_panel(t), switcher_panel(t)))
        modals = camera_modals(t) + switcher_modals(t)
    elif view == "camera":
        content = single(camera_panel(t))
        modals = camera_modals(t)
    else:
        content = single(switcher_panel(t))
        modals = switcher_modals(t)
    return """<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1, shrink-to-fit=no">
<title>Corvanta</title>
<link rel="stylesheet" href="{bs_css}">
<link rel="stylesheet" href="{fa_css}">
<link rel="stylesheet" href="{style}">
<link rel="icon" type="image/png" href="{favicon}">
</head>
<body class="{theme}" data-theme="{theme}">
<nav class="navbar navbar-expand-md {navclass}">
  <a class="navbar-brand" href="/"><img src="{logo}" height="32" alt="Corvanta"></a>
  <button class="navbar-toggler" type="button" data-toggle="collapse" data-target="#mainNav" aria-controls="mainNav" aria-expanded="false" aria-label="Toggle navigation"><span class="navbar-toggler-icon"></span></button>
  <div class="collapse navbar-collapse" id="mainNav">
    <ul class="navbar-nav mr-auto">
{nav}
        <li class="nav-item dropdown">
          <a class="nav-link dropdown-toggle" href="#" id="themeMenu" role="button" data-toggle="dropdown" aria-haspopup="true" aria-expanded="false">Theme</a>
          <div class="dropdown-menu" aria-labelledby="themeMenu">
            <a class="dropdown-item" href="?theme=dark">Dark Theme</a>
            <a class="dropdown-item" href="?theme=light">Light Theme</a>
          </div>
        </li>
    </ul>
  </div>
</nav>
<main class="container-fluid">
{content}</main>
<footer>Corvanta App Web Interface</footer>
{modals}<script src="{jquery}"></script>
<script src="{popper}"></script>
<script src="{bs_js}"></script>
<script src="{script}"></script>
</body>
</html>
""".format(bs_css=asset("css", "bootstrap-4.5.2.min.css"), fa_css=asset("css", "font-awesome-4.7.0.min.css"),
           style=asset("css", "style.css"), favicon=asset("img", "favicon.png"), theme=theme,
           default=t["default"], navclass=t["nav"], logo=asset("img", t["logo"]), nav=nav,
           content=content, modals=modals, jquery=asset("js", "jquery-3.5.1.min.js"),
           popper=asset("js", "popper-1.16.0.min.js"), bs_js=asset("js", "bootstrap-4.5.2.min.js"),
           script=asset("js", "script.js"))


def main():
    for theme in ("dark", "light"):
        for view in ("both", "camera", "switcher"):
            path = os.path.join(HERE, theme, "%s-%s.html" % (theme, view))
            with open(path, "w", encoding="utf-8") as f:
                f.write(page(theme, view))


if __name__ == "__main__":
    main()
