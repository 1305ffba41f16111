window.lexiformSiteFiles = [
["My.Utils.pas.html","My.Utils.pas"],
["Shapes.pas.html","Shapes.pas"],
["lib/extra.pas.html","lib/extra.pas"],
["demo.dpr.html","demo.dpr"],
["settings.inc.html","settings.inc"],
["inc/names.inc.html","inc/names.inc"]
];
